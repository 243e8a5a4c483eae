#include "archive/write/Zip.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <unordered_map>

#include "archive/read/Directory.h"
#include "archive/io/FileFacts.h"
#include "archive/io/FileSystem.h"
#include "archive/format/Names.h"
#include "archive/write/ParallelDeflate.h"
#include "archive/io/Sync.h"
#include "archive/io/Stream.h"
#include "archive/write/Writer.h"

namespace archive {

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr bool kCaseInsensitiveFiles = true;
#else
constexpr bool kCaseInsensitiveFiles = false;
#endif

struct Input {
  // In native form: a path object splits itself into parts, several allocations per file.
  fs::path::string_type source;
  std::string member;
  bool isDirectory = false;
  uint64_t size = 0;
  int64_t modified = 0;
  FileFacts facts;  // on Windows: what is stored beside the DOS time
};

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

// The files found, one per member name. A second file under a name already taken is a
// conflict, reported with both files named; the same file named twice is stored once.
class InputList {
 public:
  explicit InputList(ZipEvents& events) : events_(events) {}

  void Add(Input input) {
    std::string key = NameKey(input.member);
    const size_t hash = std::hash<std::string>{}(key);
    for (auto [at, end] = byName_.equal_range(hash); at != end; ++at) {
      const Input& earlier = items_[at->second];
      if (NameKey(earlier.member) != key) continue;
      std::error_code ec;
      if (fs::equivalent(earlier.source, input.source, ec) ||
          (input.isDirectory && earlier.isDirectory)) {
        return;  // the same file named twice
      }
      conflict = true;  // before the message: a plan on another thread stops at it
      events_.Message("error: two files would be stored under one name \"" + input.member +
                      "\": " + Quoted(earlier.source) + " and " + Quoted(input.source) + "\n");
      return;
    }
    size_t index = items_.size();
    byName_.emplace(hash, index);
    if (lock_) {
      std::lock_guard<Mutex> guard(*lock_);
      items_.push_back(std::move(input));
    } else {
      items_.push_back(std::move(input));
    }
    if (found_) found_(index);
  }

  // The names seen are needed only while collecting; by the thousand they weigh.
  void ForgetNames() { std::unordered_multimap<size_t, size_t>().swap(byName_); }

  // For a collection on another thread: the list grows under `lock`, and `found` hears of
  // each new input after it is stored.
  void Share(Mutex& lock, std::function<void(size_t index)> found) {
    lock_ = &lock;
    found_ = std::move(found);
  }

  size_t size() const { return items_.size(); }
  const Input& operator[](size_t index) const { return items_[index]; }

  std::atomic<bool> conflict = false;

 private:
  ZipEvents& events_;
  std::deque<Input> items_;  // a deque keeps them in place as it grows
  // Hashes of the names seen, to their inputs: a fraction of the memory of the names.
  std::unordered_multimap<size_t, size_t> byName_;
  Mutex* lock_ = nullptr;
  std::function<void(size_t)> found_;
};

// Gathers the files a request names, with their member names.
class Collector {
 public:
  Collector(const ZipRequest& request, ZipEvents& events)
      : inputs(events), request_(request), events_(events) {
    std::error_code ec;
    if (fs::exists(request.archive, ec)) {
      archive_ = request.archive;
      archiveSize_ = fs::file_size(archive_, ec);
    }
  }

  void AddName(const fs::path& given) {
    if (stopped_) return;
    fs::path source =
        given.is_relative() && !request_.rootDir.empty() ? request_.rootDir / given : given;
    std::string leaf = PathToUtf8(given.filename());
    if (HasWildcard(leaf)) {
      fs::path folder = source.parent_path().empty() ? fs::path(".") : source.parent_path();
      std::vector<fs::path> matches;
      std::error_code ec;
      for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (WildcardMatch(leaf, PathToUtf8(it->path().filename()), kCaseInsensitiveFiles)) {
          matches.push_back(it->path().filename());
        }
      }
      std::sort(matches.begin(), matches.end());
      if (matches.empty()) Missing(given, "name not matched");
      for (const auto& m : matches) AddPath(source.parent_path() / m, given.parent_path() / m);
      return;
    }
    AddPath(source, given);
  }

  // Adds `source`, named in the archive after `shown` (the name as the caller wrote it).
  void AddPath(const fs::path& source, const fs::path& shown) {
    std::error_code ec;
    fs::file_status status = fs::status(source, ec);
    if (!fs::exists(status)) {
      Missing(source, "not found");
      return;
    }
    if (IsArchiveItself(source)) return;
    std::string member = MemberName(shown);
    if (fs::is_directory(status)) {
      if (!request_.junkPaths && !request_.noDirEntries && !member.empty()) {
        AddNamed(source, member + "/", true, 0);
      }
      if (request_.recurse) Walk(source, member);
      return;
    }
    if (!fs::is_regular_file(status)) {
      Missing(source, "not a regular file");
      return;
    }
    uint64_t size = fs::file_size(source, ec);
    if (ec) {
      Missing(source, ec.message());
      return;
    }
    if (member.empty()) {
      Missing(source, "no name to store it under");
      return;
    }
    AddNamed(source, member, false, size);
  }

  // Ends the collection early, from another thread.
  void Stop() { stopped_ = true; }
  // The new archive's temporary file, when it exists while collecting: left out as the
  // archive is.
  void Skip(const fs::path& temp) { temp_ = temp; }

  InputList inputs;
  std::atomic<bool> missing = false;

 private:
  std::string MemberName(const fs::path& shown) const {
    if (request_.junkPaths) return PathToUtf8(shown.filename());
    std::string name;
    for (const auto& part : shown.relative_path()) {
      if (part == "." || part == ".." || part.empty()) continue;
      if (!name.empty()) name += '/';
      name += PathToUtf8(part);
    }
    return name;
  }

  void Walk(const fs::path& folder, const std::string& member) {
    if (stopped_) return;
    std::error_code ec;
    std::vector<FolderChild> children = ListFolder(folder, ec);
    if (ec) {
      Missing(folder, ec.message());
      return;
    }
    std::sort(children.begin(), children.end(),
              [](const FolderChild& a, const FolderChild& b) { return a.name < b.name; });
    using Kind = FolderChild::Kind;
    for (FolderChild& child : children) {
      if (stopped_) return;
      fs::path source = folder / child.name;
      if (child.kind == Kind::kLink) {
        // Links to folders are not followed: they could lead in circles or out of the tree.
        // Links to files are stored as the files they lead to.
        std::error_code linkError;
        if (!fs::is_regular_file(fs::status(source, linkError))) continue;
        child.kind = Kind::kFile;
        child.size = fs::file_size(source, linkError);
        if (linkError) child.size = 0;
        child.modified = FileModifiedUnix(source).value_or(0);
      }
      std::string childMember =
          member.empty() ? PathToUtf8(child.name) : member + "/" + PathToUtf8(child.name);
      if (child.kind == Kind::kFolder) {
        if (!request_.junkPaths && !request_.noDirEntries) {
          AddInput(source, childMember + "/", true, 0, child.modified,
                   {child.attributes, child.times});
        }
        Walk(source, childMember);
      } else if (child.kind == Kind::kFile) {
        bool maybeOurs = child.size == archiveSize_ || child.name == temp_.filename();
        if (maybeOurs && IsArchiveItself(source)) continue;
        AddInput(source, request_.junkPaths ? PathToUtf8(child.name) : childMember, false,
                 child.size, child.modified, {child.attributes, child.times});
      }
    }
  }

  bool IsArchiveItself(const fs::path& source) const {
    std::error_code ec;
    if (!temp_.empty() && source.filename() == temp_.filename() &&
        fs::equivalent(source, temp_, ec)) {
      return true;
    }
    return !archive_.empty() && fs::equivalent(source, archive_, ec);
  }

  // A file or folder named by the caller: where the system gives its facts (Windows), its
  // time comes with them, in the one lookup.
  void AddNamed(const fs::path& source, const std::string& member, bool isDirectory,
                uint64_t size) {
    std::optional<FileFacts> facts = ReadFileFacts(source);
    int64_t modified =
        facts ? FileTimeToUnix(facts->times.modified) : FileModifiedUnix(source).value_or(0);
    AddInput(source, member, isDirectory, size, modified, facts.value_or(FileFacts{}));
  }

  void AddInput(const fs::path& source, const std::string& member, bool isDirectory, uint64_t size,
                int64_t modified, const FileFacts& facts) {
    inputs.Add(Input{source.native(), member, isDirectory, size, modified, facts});
  }

  void Missing(const fs::path& path, const std::string& why) {
    events_.Message("warning: " + Quoted(path) + ": " + why + "\n");
    missing = true;
  }

  const ZipRequest& request_;
  ZipEvents& events_;
  fs::path archive_;
  uint64_t archiveSize_ = 0;  // a file of another size is not the archive
  fs::path temp_;
  std::atomic<bool> stopped_ = false;
};

std::string Percent(uint64_t part, uint64_t whole) {
  if (whole == 0 || part >= whole) return "0%";
  return std::to_string((100 * (whole - part) + whole / 2) / whole) + "%";
}

// The temporary file a new archive is written to beside the old one. Until Commit renames
// it over the archive, every way out removes it.
class TempArchive {
 public:
  explicit TempArchive(const fs::path& archive)
      : archive_(archive), out_(CreateTempBeside(archive, &path_)) {}
  ~TempArchive() {
    if (committed_) return;
    out_.reset();
    RemoveQuietly(path_);
  }
  TempArchive(const TempArchive&) = delete;
  TempArchive& operator=(const TempArchive&) = delete;

  FileStream& stream() { return *out_; }
  const fs::path& path() const { return path_; }
  bool Commit(std::error_code& ec) {
    out_.reset();
    committed_ = ReplaceWith(path_, archive_, ec);
    return committed_;
  }

 private:
  fs::path archive_;
  fs::path path_;
  std::unique_ptr<FileStream> out_;
  bool committed_ = false;
};

// One member of the new archive: copied from the old one, or added from a file, which may
// replace an old member (kept as it was should the file turn out unreadable).
struct Item {
  const Entry* copy = nullptr;
  const Input* add = nullptr;
  const Entry* replaces = nullptr;
};

// The members of a new archive, in order, and the files among them to read ahead.
class Plan {
 public:
  virtual ~Plan() = default;
  // Lists the files worth reading ahead in `prefetch` (unless null), keyed by their place
  // among the items. `temp` is the file the archive is being written to.
  virtual void Start(FilePrefetcher* prefetch, const fs::path& temp) = 0;
  // The next item, or nullopt after the last (or at a conflict, see conflict()). Messages
  // about the items come out here, on the calling thread, in their place among them.
  virtual std::optional<Item> Next() = 0;
  // Stops the work in the background, if any; no more files are listed for reading ahead.
  virtual void Stop() {}
  // Once Next has returned nullopt: two files would have been stored under one name.
  virtual bool conflict() const { return false; }
  // Once Next has returned nullopt: a named file was missing.
  virtual bool missing() const { return false; }
};

bool ReadAhead(const Input& input) {
  return !input.isDirectory && input.size <= ParallelDeflate::kDeflateWholeBytes;
}

// Items decided beforehand (updating or deleting).
class ListedPlan final : public Plan {
 public:
  explicit ListedPlan(const std::vector<Item>& items) : items_(items) {}
  void Start(FilePrefetcher* prefetch, const fs::path&) override {
    for (size_t i = 0; prefetch && i < items_.size(); ++i) {
      if (const Input* input = items_[i].add; input && ReadAhead(*input)) {
        prefetch->Add({i, input->source, input->size});
      }
    }
  }
  std::optional<Item> Next() override {
    if (next_ == items_.size()) return std::nullopt;
    return items_[next_++];
  }

 private:
  const std::vector<Item>& items_;
  size_t next_ = 0;
};

// A new archive: the files are found on a thread of their own and become members while the
// folders are still being walked, so that Wine's slow folder listings overlap with reading
// and compressing. If two files turn out to share a name, the archive is not written, as
// when that is found beforehand.
class WalkingPlan final : public Plan, private ZipEvents {
 public:
  WalkingPlan(const ZipRequest& request, ZipEvents& events)
      : request_(request), events_(events), collector_(request, *this) {}
  ~WalkingPlan() override { Stop(); }

  void Start(FilePrefetcher* prefetch, const fs::path& temp) override {
    prefetch_ = prefetch;
    collector_.Skip(temp);
    collector_.inputs.Share(mutex_, [this](size_t index) { OnFound(index); });
    thread_ = std::thread([this] { Collect(); });
  }

  std::optional<Item> Next() override {
    std::unique_lock<Mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return !found_.empty() || done_; });
      if (found_.empty()) {
        if (failure_) std::rethrow_exception(failure_);
        return std::nullopt;
      }
      Found found = std::move(found_.front());
      found_.pop_front();
      if (found.input) return Item{nullptr, found.input, nullptr};
      lock.unlock();
      events_.Message(found.message);
      lock.lock();
      if (collector_.inputs.conflict) {
        // Let the walk finish: the message names both files, and any other conflicts follow.
        wake_.wait(lock, [this] { return done_; });
        for (; !found_.empty(); found_.pop_front()) {
          if (found_.front().input) continue;
          lock.unlock();
          events_.Message(found_.front().message);
          lock.lock();
        }
        return std::nullopt;
      }
    }
  }

  void Stop() override {
    collector_.Stop();
    if (thread_.joinable()) thread_.join();
  }
  bool conflict() const override { return collector_.inputs.conflict; }
  bool missing() const override { return collector_.missing; }

 private:
  // A file found, or a message about the walk.
  struct Found {
    const Input* input = nullptr;
    std::string message;
  };

  void Collect() {
    try {
      for (const auto& name : request_.names) collector_.AddName(name);
      collector_.inputs.ForgetNames();
    } catch (...) {
      std::lock_guard<Mutex> lock(mutex_);
      failure_ = std::current_exception();
    }
    std::lock_guard<Mutex> lock(mutex_);
    done_ = true;
    wake_.notify_all();
  }
  // On the walking thread, for the collector.
  void Message(std::string_view text) override {
    std::lock_guard<Mutex> lock(mutex_);
    found_.push_back(Found{nullptr, std::string(text)});
    wake_.notify_all();
  }
  void OnFound(size_t index) {
    const Input* input;
    {
      std::lock_guard<Mutex> lock(mutex_);
      input = &collector_.inputs[index];
    }
    // The calling thread takes items in the order of the inputs: an input's index is its key.
    if (prefetch_ && ReadAhead(*input)) prefetch_->Add({index, input->source, input->size});
    std::lock_guard<Mutex> lock(mutex_);
    found_.push_back(Found{input, {}});
    wake_.notify_all();
  }

  const ZipRequest& request_;
  ZipEvents& events_;
  Mutex mutex_;
  ConditionVariable wake_;
  Collector collector_;
  FilePrefetcher* prefetch_ = nullptr;
  std::deque<Found> found_;
  bool done_ = false;
  std::exception_ptr failure_;
  std::thread thread_;
};

// The items of a new archive that updates `dir` with `inputs`: the old members in their
// order, each kept or replaced by the file of its name (with update or freshen only by a
// newer one), then (unless freshening) the files that are new. `*changes` tells whether
// anything is replaced or added.
std::vector<Item> UpdatedItems(const ZipRequest& request, const Directory& dir,
                               const InputList& inputs, bool* changes) {
  std::map<std::string, size_t> byName;  // only needed to update an archive
  if (!dir.entries.empty()) {
    for (size_t i = 0; i < inputs.size(); ++i) byName.emplace(NameKey(inputs[i].member), i);
  }
  std::vector<Item> items;
  std::vector<bool> handled(inputs.size(), false);
  *changes = false;
  for (const Entry& e : dir.entries) {
    auto found = byName.find(NameKey(e.name));
    if (found == byName.end()) {
      items.push_back(Item{&e, nullptr, nullptr});
      continue;
    }
    const Input* input = &inputs[found->second];
    handled[found->second] = true;
    bool replace = true;
    if (request.update || request.freshen) {
      auto memberTime = e.ModifiedUnix();
      replace = !memberTime || input->modified > *memberTime + 1;  // DOS times have 2 s steps
    }
    items.push_back(replace ? Item{nullptr, input, &e} : Item{&e, nullptr, nullptr});
    *changes = *changes || replace;
  }
  if (!request.freshen) {
    for (size_t i = 0; i < inputs.size(); ++i) {
      if (handled[i]) continue;
      items.push_back(Item{nullptr, &inputs[i], nullptr});
      *changes = true;
    }
  }
  return items;
}

// The members of `dir` that no pattern of the request matches, with a line for each one
// that does; `*removed` counts those.
std::vector<Item> ItemsLeftAfterDeleting(const ZipRequest& request, const Directory& dir,
                                         ZipEvents& events, size_t* removed) {
  std::vector<Item> items;
  *removed = 0;
  for (const Entry& e : dir.entries) {
    bool match = false;
    for (const auto& name : request.names) {
      match = match || WildcardMatch(PathToUtf8(name.generic_u8string()), e.name, false);
    }
    if (match) {
      ++*removed;
      if (!request.quiet) events.Message("deleting: " + e.name + "\n");
    } else {
      items.push_back(Item{&e, nullptr, nullptr});
    }
  }
  return items;
}

// The progress line for a member added, and FileDone for a file; false when the caller
// cancels.
bool Report(const ZipRequest& request, ZipEvents& events, const Item& item,
            const ZipWriter::Result& result) {
  const Input& input = *item.add;
  if (input.isDirectory) {
    if (!request.quiet) events.Message("  adding: " + input.member + " (stored 0%)\n");
    return true;
  }
  if (!request.quiet) {
    std::string how = result.method == 0
                          ? "stored 0%"
                          : "deflated " + Percent(result.compressedSize, result.uncompressedSize);
    events.Message(std::string(item.replaces ? "updating: " : "  adding: ") + input.member + " (" +
                   how + ")\n");
  }
  return events.FileDone(input.source, result.uncompressedSize);
}

// The archive comment: with askComment what ZipEvents::Comment gives, else the old one.
std::string NewComment(const ZipRequest& request, ZipEvents& events,
                       const std::string& oldComment) {
  if (request.askComment) {
    if (auto given = events.Comment(oldComment)) return *given;
  }
  return oldComment;
}

// Adds a folder, or a file read here or by the prefetcher (`ready`). Returns the warning to
// give when the file cannot be opened or read; its member is then left out.
std::optional<std::string> AddInput(ZipWriter& writer, const Input& input,
                                    std::optional<PrefetchedFile> ready) {
  NewMember member{input.member, input.modified, input.facts.attributes, input.facts.times};
  if (input.isDirectory) {
    writer.AddDirectory(member);
    return std::nullopt;
  }
  using Outcome = PrefetchedFile::Outcome;
  const bool prefetched = ready && ready->outcome != Outcome::kTooLarge;
  int error = prefetched ? ready->error : 0;
  std::unique_ptr<FileStream> source;
  if (!prefetched) source = FileStream::TryOpen(input.source, FileStream::Mode::kRead, &error);
  if (prefetched ? ready->outcome == Outcome::kOpenFailed : !source) {
    return "warning: could not open " + Quoted(input.source) +
           " for reading: " + std::generic_category().message(error) + "\n";
  }
  try {
    if (!prefetched) {
      writer.AddFile(member, *source, input.size);
    } else if (ready->outcome == Outcome::kReadFailed) {
      throw ArchiveError(Fault::kReadFailed, ready->message);
    } else {
      writer.AddCompressed(member, *ready);
    }
  } catch (const ArchiveError& e) {
    if (e.fault() != Fault::kReadFailed) throw;
    return "warning: could not read " + Quoted(input.source) + ": " + e.what() + "\n";
  }
  return std::nullopt;
}

class Job {
 public:
  Job(const ZipRequest& request, ZipEvents& events) : request_(request), events_(events) {}
  ZipStatus Run();

 private:
  // Opens the existing archive, if there is one, and reads its directory; a status when
  // that fails.
  std::optional<ZipStatus> ReadExisting();
  ZipStatus Delete();
  // Updates or freshens the existing archive, or creates a new one from what the names
  // give, gathered first.
  ZipStatus Update();
  // Writes the new archive to a temporary file and puts it in the archive's place.
  ZipStatus Write(Plan& plan, const std::string& comment);
  ZipStatus Write(const std::vector<Item>& items, const std::string& comment) {
    ListedPlan plan(items);
    return Write(plan, comment);
  }
  // Writes the plan's members; a status when the run ends without an archive to publish.
  std::optional<ZipStatus> WriteMembers(Plan& plan, ZipWriter& writer, FilePrefetcher* prefetch);
  // Copies the member a file that could not be read was to replace.
  void KeepOldMember(ZipWriter& writer, const Entry& entry) {
    writer.CopyMember(*old_, entry);
    events_.Message("warning: \"" + entry.name + "\" was kept as it was\n");
  }
  ZipStatus FailWriting(const ArchiveError& e);
  ZipStatus Fail(ZipStatus status, const std::string& message) {
    events_.Message("error: " + message + "\n");
    return status;
  }

  const ZipRequest& request_;
  ZipEvents& events_;
  std::unique_ptr<FileStream> old_;  // the existing archive, if any
  Directory dir_;
  bool missing_ = false;
};

ZipStatus Job::Run() {
  if (request_.encrypt) return Fail(ZipStatus::kUnsupportedOption, "encryption is not supported");
  if (request_.archive.empty()) return Fail(ZipStatus::kBadParameters, "no archive name");
  if (request_.names.empty()) return Fail(ZipStatus::kNothingToDo, "nothing to do");
  if (auto failed = ReadExisting()) return *failed;
  if (request_.deleteEntries) return Delete();
  if (!old_ && !request_.freshen) {
    WalkingPlan plan(request_, events_);
    return Write(plan, {});
  }
  return Update();
}

std::optional<ZipStatus> Job::ReadExisting() {
  std::error_code ec;
  bool exists = fs::exists(request_.archive, ec) && fs::file_size(request_.archive, ec) > 0 && !ec;
  if (!exists) return std::nullopt;
  int error = 0;
  old_ = FileStream::TryOpen(request_.archive, FileStream::Mode::kRead, &error);
  if (!old_) return Fail(ZipStatus::kReadError, "cannot read " + Quoted(request_.archive));
  try {
    dir_ = ReadDirectory(*old_);
  } catch (const ArchiveError& e) {
    return Fail(e.fault() == Fault::kReadFailed ? ZipStatus::kReadError : ZipStatus::kFormatError,
                Quoted(request_.archive) + " is not a readable Zip archive (" + e.what() +
                    "); it was left unchanged");
  }
  return std::nullopt;
}

ZipStatus Job::Delete() {
  if (!old_) return Fail(ZipStatus::kMissingArchive, Quoted(request_.archive) + " not found");
  size_t removed = 0;
  std::vector<Item> items = ItemsLeftAfterDeleting(request_, dir_, events_, &removed);
  if (removed == 0) return Fail(ZipStatus::kNothingToDo, "nothing matched; nothing to do");
  return Write(items, dir_.comment);
}

ZipStatus Job::Update() {
  Collector collector(request_, events_);
  for (const auto& name : request_.names) collector.AddName(name);
  collector.inputs.ForgetNames();
  if (collector.inputs.conflict) {
    return Fail(ZipStatus::kBadParameters, "member names must be unique; nothing was written");
  }
  missing_ = collector.missing;
  bool changes = false;
  std::vector<Item> items = UpdatedItems(request_, dir_, collector.inputs, &changes);
  if (!changes) {
    if (old_) return missing_ ? ZipStatus::kCannotOpenInput : ZipStatus::kOk;
    return missing_
               ? Fail(ZipStatus::kCannotOpenInput, "no file could be read; nothing was written")
               : Fail(ZipStatus::kNothingToDo, "nothing to do");
  }
  return Write(items, dir_.comment);
}

ZipStatus Job::Write(Plan& plan, const std::string& oldComment) {
  std::optional<TempArchive> temp;
  try {
    temp.emplace(request_.archive);
  } catch (const ArchiveError& e) {
    return Fail(ZipStatus::kCannotCreate, e.what());
  }
  try {
    ZipWriter writer(temp->stream(), request_.level, request_.workers);
    // Files are read and compressed on the workers ahead of the writer.
    std::unique_ptr<FilePrefetcher> prefetch;
    if (ParallelDeflate* engine = writer.Parallel()) {
      prefetch = std::make_unique<FilePrefetcher>(*engine, std::vector<FilePrefetcher::File>{});
    }
    plan.Start(prefetch.get(), temp->path());
    struct StopFirst {  // the plan lists files in the prefetcher until stopped
      Plan& plan;
      ~StopFirst() { plan.Stop(); }
    } stopFirst{plan};
    if (auto ended = WriteMembers(plan, writer, prefetch.get())) return *ended;
    writer.Finish(NewComment(request_, events_, oldComment));
    temp->stream().Close();
  } catch (const ArchiveError& e) {
    return FailWriting(e);
  }
  old_.reset();  // Windows does not replace a file that is still open
  std::error_code ec;
  if (!temp->Commit(ec)) {
    return Fail(ZipStatus::kTempFileError,
                "cannot replace " + Quoted(request_.archive) + ": " + ec.message());
  }
  return missing_ ? ZipStatus::kCannotOpenInput : ZipStatus::kOk;
}

std::optional<ZipStatus> Job::WriteMembers(Plan& plan, ZipWriter& writer,
                                           FilePrefetcher* prefetch) {
  size_t count = 0;
  size_t tried = 0;  // files and folders to add
  size_t added = 0;
  for (std::optional<Item> item; (item = plan.Next()); ++count) {
    if (item->copy) {
      writer.CopyMember(*old_, *item->copy);
      continue;
    }
    ++tried;
    std::optional<PrefetchedFile> ready;
    if (prefetch && ReadAhead(*item->add)) ready = prefetch->Take(count);
    if (auto warning = AddInput(writer, *item->add, std::move(ready))) {
      events_.Message(*warning);
      missing_ = true;
      if (item->replaces) KeepOldMember(writer, *item->replaces);
      continue;
    }
    ++added;
    if (!Report(request_, events_, *item, writer.last())) {
      return Fail(ZipStatus::kCancelled,
                  "cancelled; " + Quoted(request_.archive) + " was left as it was");
    }
  }
  if (plan.conflict()) {
    return Fail(ZipStatus::kBadParameters, "member names must be unique; nothing was written");
  }
  missing_ = missing_ || plan.missing();
  // An update none of whose files could be read would write the old members again: the
  // archive is left as it was instead.
  if (added == 0 && tried > 0 && old_) {
    return Fail(ZipStatus::kCannotOpenInput,
                "no file could be added; " + Quoted(request_.archive) + " was left as it was");
  }
  if (added == 0 && !old_) {
    if (count == 0 && !missing_) return Fail(ZipStatus::kNothingToDo, "nothing to do");
    return Fail(missing_ ? ZipStatus::kCannotOpenInput : ZipStatus::kNothingToDo,
                count == 0 ? "no file could be read; nothing was written"
                           : "no file could be added; nothing was written");
  }
  return std::nullopt;
}

ZipStatus Job::FailWriting(const ArchiveError& e) {
  switch (e.fault()) {
    case Fault::kDamaged:
      return Fail(ZipStatus::kFormatError,
                  std::string(e.what()) + "; the archive was left unchanged");
    case Fault::kReadFailed:
      return Fail(ZipStatus::kReadError,
                  std::string(e.what()) + "; the archive was left unchanged");
    default:
      return Fail(ZipStatus::kWriteError, std::string("cannot write the new archive: ") + e.what());
  }
}

}  // namespace

ZipStatus RunZip(const ZipRequest& request, ZipEvents& events) {
  try {
    Job job(request, events);
    return job.Run();
  } catch (const std::bad_alloc&) {
    events.Message("error: out of memory\n");
    return ZipStatus::kNoMemory;
  } catch (const std::exception& e) {
    events.Message(std::string("error: ") + e.what() + "\n");
    return ZipStatus::kInternalError;
  }
}

}  // namespace archive
