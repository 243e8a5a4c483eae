// PPMd (method 98): members 7-Zip writes at the orders and model sizes the format allows,
// members of the restoration methods from the ppmd library's encoder (7-Zip's code), the
// real archives of other projects, and broken streams refused with nothing left.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <random>
#include <thread>

#include "archive/format/Bytes.h"
#include "archive/format/Format.h"
#include "archive/io/Stream.h"
#include "archive/methods/Ppmd.h"
#include "archive/read/Directory.h"
#include "tests/archive/TestSupport.h"

namespace {

using archive::UnzipStatus;
using namespace testing_support;

// Text of many kinds with some noise: fills small models several times over.
std::string Text(size_t size, unsigned seed) {
  static const char* const kWords[] = {"the ",    "model ", "context ", "escape ",
                                       "symbol ", "order ", "range ",   "\n",
                                       ", ",      "PPMd ",  "0x",       "unit "};
  std::mt19937 random(seed);
  std::string s;
  while (s.size() < size) {
    if (random() % 8 == 0) {
      s += std::to_string(random());
    } else {
      s += kWords[random() % std::size(kWords)];
    }
  }
  s.resize(size);
  return s;
}

// `7z a -tzip -mm=PPMd -mo=<order> -mmem=<mb>m` of `data`, as member data.
std::optional<std::string> SevenZip(const std::string& data, unsigned order, unsigned mb) {
  return SevenZipData(
      data, "-mm=PPMd -mo=" + std::to_string(order) + " -mmem=" + std::to_string(mb) + "m",
      archive::format::kMethodPpmd);
}

// The same through the ppmd library (7-Zip's code), which also writes restoration
// methods 1 and 2 (it reads 2 as 1, having no freeze): properties, stream, end marker.
std::optional<std::string> PythonPpmd(const std::string& data, unsigned order, unsigned mb,
                                      unsigned restore) {
  TempDir dir;
  WriteFile(dir / "m", data);
  std::string script =
      "import io,struct,ppmd\n"
      "o=io.BytesIO()\n"
      "e=ppmd.Ppmd8Encoder(o," +
      std::to_string(order) + "," + std::to_string(mb) + "<<20," + std::to_string(restore) +
      ")\n"
      "e.encode(open('m','rb').read()); e.flush(); e.close()\n"
      "p=" +
      std::to_string((order - 1) | (mb - 1) << 4 | restore << 12) +
      "\n"
      "open('s','wb').write(struct.pack('<H',p)+o.getvalue())\n";
  WriteFile(dir / "make.py", script);
  std::string command = "cd '" + dir.path().string() + "' && /usr/bin/python3 make.py 2>/dev/null";
  if (std::system(command.c_str()) != 0) return std::nullopt;
  return ReadFile(dir / "s");
}

RawMember Ppmd(const std::string& name, const std::string& plain, const std::string& data) {
  return Packed(name, plain, archive::format::kMethodPpmd, data);
}

TEST(Ppmd, ExtractsWhat7zWritesAtEveryOrderAndModelSize) {
  if (!HasTool("7z")) GTEST_SKIP() << "no 7z command to make archives with";
  // 4 MB fill the 1 and 3 MB models at the higher orders several times over (7-Zip restarts
  // them). 7-Zip declares no more than 128 MB, so the largest model the format allows,
  // 256 MB, is declared here over a stream whose order-2 model never fills even 16 MB.
  const std::string plain = Text(4 << 20, 1);
  const struct {
    unsigned order, mb, declaredMb;
  } cases[] = {{2, 1, 1}, {6, 16, 16}, {16, 3, 3}, {16, 1, 1}, {2, 16, 256}};
  std::vector<RawMember> members;
  Files expected;
  for (const auto& c : cases) {
    std::string name = "o" + std::to_string(c.order) + "m" + std::to_string(c.declaredMb);
    std::optional<std::string> data = SevenZip(plain, c.order, c.mb);
    ASSERT_TRUE(data) << "7z failed for " << name;
    auto* properties = reinterpret_cast<unsigned char*>(data->data());
    EXPECT_EQ(archive::Load16(properties), (c.order - 1) | (c.mb - 1) << 4);
    archive::Store16(properties, static_cast<uint16_t>((c.order - 1) | (c.declaredMb - 1) << 4));
    members.push_back(Ppmd(name, plain, *data));
    expected[name] = plain;
  }
  Extracted run = ExtractMembers(members);
  EXPECT_EQ(run.status, UnzipStatus::kOk) << run.messages;
  EXPECT_EQ(run.files, expected);
}

TEST(Ppmd, ExtractsEveryRestorationMethodOnceTheModelFills) {
  if (std::system("/usr/bin/python3 -c 'import ppmd' 2>/dev/null") != 0) {
    GTEST_SKIP() << "no ppmd Python module (python3-ppmd) to make streams with";
  }
  const std::string plain = Text(2 << 20, 2);
  std::vector<RawMember> members;
  Files expected;
  for (unsigned restore : {0u, 1u}) {
    for (unsigned order : {6u, 16u}) {
      std::string name = "r" + std::to_string(restore) + "o" + std::to_string(order);
      std::optional<std::string> data = PythonPpmd(plain, order, 1, restore);
      ASSERT_TRUE(data);
      members.push_back(Ppmd(name, plain, *data));
      expected[name] = plain;
    }
  }
  Extracted run = ExtractMembers(members);
  EXPECT_EQ(run.status, UnzipStatus::kOk) << run.messages;
  EXPECT_EQ(run.files, expected);

  // No writer at hand freezes (that library cuts off instead), so a freeze member made by
  // it is decoded differently once its model fills: refused, never written.
  std::optional<std::string> cut = PythonPpmd(plain, 6, 1, 2);
  ASSERT_TRUE(cut);
  run = ExtractMembers({Ppmd("frozen", plain, *cut)});
  EXPECT_EQ(run.status, UnzipStatus::kMemberError) << run.messages;
  EXPECT_EQ(run.files, Files{});
}

TEST(Ppmd, BrokenStreamsAreRefusedWithNothingLeft) {
  if (!HasTool("7z")) GTEST_SKIP() << "no 7z command to make archives with";
  const std::string plain = Text(300000, 3);
  const std::string good = *SevenZip(plain, 8, 2);
  auto with = [&](size_t at, const std::string& bytes) {
    std::string s = good;
    return s.replace(at, bytes.size(), bytes);
  };
  struct Lie {
    const char* what;
    std::string data;
    UnzipStatus status;
    std::optional<uint64_t> declared;
    const char* says;
  };
  const UnzipStatus bad = UnzipStatus::kMemberError, unsupported = UnzipStatus::kUnsupported;
  const Lie lies[] = {
      {"truncated", good.substr(0, good.size() / 2), bad, {}, ""},
      {"no coder bytes", good.substr(0, 4), bad, {}, ""},
      {"properties only", good.substr(0, 2), bad, {}, ""},
      {"nothing", "", bad, {}, ""},
      {"flipped bytes", with(good.size() / 3, std::string(16, '\x5A')), bad, {}, ""},
      {"flipped near the end", with(good.size() - 9, "\xA5\xA5\xA5"), bad, {}, ""},
      {"declared larger", good, bad, plain.size() + 1, ""},
      {"declared shorter", good, bad, plain.size() - 1, "more data than its declared size"},
      {"order 1",
       with(0, std::string(1, static_cast<char>(good[0] & 0xF0))),
       unsupported,
       {},
       "model order 1"},
      {"restoration method 3",
       with(1, std::string(1, static_cast<char>(good[1] | 0x30))),
       unsupported,
       {},
       "restoration method 3"},
  };
  for (const Lie& lie : lies) {
    SCOPED_TRACE(lie.what);
    RawMember member = Ppmd("lie.txt", plain, lie.data);
    if (lie.declared) {
      member.uncompressedSize = *lie.declared;
      member.crc = Crc(plain.substr(0, std::min<size_t>(*lie.declared, plain.size())));
    }
    Extracted run = ExtractMembers({member, Stored("ok", "ok")});
    EXPECT_EQ(run.status, lie.status) << run.messages;
    EXPECT_NE(run.messages.find(lie.says), std::string::npos) << run.messages;
    EXPECT_EQ(run.files, (Files{{"ok", "ok"}}));
  }
}

// Input and room a byte at a time: a symbol never stops halfway, so the decoder buffers.
TEST(Ppmd, DecodesFromSingleBytesOfInputAndRoom) {
  if (!HasTool("7z")) GTEST_SKIP() << "no 7z command to make archives with";
  const std::string plain = Text(200000, 4);
  const std::string data = *SevenZip(plain, 4, 1);
  archive::PpmdDecoder decoder(data.size());
  std::string out;
  const auto* next = reinterpret_cast<const unsigned char*>(data.data());
  const auto* end = next + data.size();
  archive::Decoder::Result result = archive::Decoder::Result::kProgress;
  for (int idle = 0; result == archive::Decoder::Result::kProgress && idle < 4;) {
    size_t inSize = next != end ? 1 : 0;
    unsigned char byte;
    unsigned char* to = &byte;
    size_t room = 1;
    const auto* before = next;
    result = decoder.Decode(&next, &inSize, &to, &room);
    if (room == 0) out += static_cast<char>(byte);
    idle = next == before && room == 1 ? idle + 1 : 0;
  }
  EXPECT_EQ(result, archive::Decoder::Result::kEnd);
  EXPECT_TRUE(out == plain) << out.size() << " of " << plain.size();
}

TEST(Ppmd, ModelsBeyondTheBudgetWaitUntilOthersFinish) {
  constexpr uint64_t kMiB = 1 << 20;
  archive::MemoryBudget budget(256 * kMiB);
  {
    // Alone, and a second share on the thread that holds one, never wait.
    auto alone = budget.Take(300 * kMiB);
    auto more = budget.Take(200 * kMiB);
    EXPECT_EQ(budget.held(), 500 * kMiB);
  }
  auto first = budget.Take(200 * kMiB);
  std::atomic<bool> taken{false};
  std::thread other([&] {
    auto second = budget.Take(100 * kMiB);
    taken = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(taken);
  first = {};
  other.join();
  EXPECT_TRUE(taken);
  EXPECT_EQ(budget.held(), 0u);
}

}  // namespace
