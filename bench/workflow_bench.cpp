// The cost of the window around the libraries: creating an archive of 99 files of 2 MB and
// extracting an archive of 70,000 small members, once through the main window (with its
// progress bar drawn on every callback) and once through the library alone, in one run.
//
//   workflow_bench [folder]     (a fresh scratch folder is made inside it; default: the temp
//   folder)
#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/Form1.h"
#include "platform/toolkit/App.h"
#include "platform/toolkit/Seam.h"

namespace {

int WINAPI IgnoreService(const char*, long) { return 0; }

// Answers the save dialog with a fixed path, and every message box with OK, without a window.
class BenchSeam : public tk::Seam {
 public:
  std::string saveAs;
  int ShowMessage(HWND, const std::string& text, const std::string&, UINT) override {
    std::printf("  message: %s\n", text.c_str());
    return IDOK;
  }
  BOOL SaveFileDialog(OPENFILENAMEA* record) override {
    lstrcpynA(record->lpstrFile, saveAs.c_str(), static_cast<int>(record->nMaxFile));
    return TRUE;
  }
};

double Seconds(const std::function<void()>& f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void RemoveTree(const std::string& dir) {
  std::string from = dir + std::string(1, '\0');
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  SHFileOperationA(&op);
}

void WriteFile(const std::string& path, size_t size, unsigned seed) {
  std::string data(size, '\0');
  // Text-like data that compresses as real files do, roughly 3:1.
  unsigned x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    data[i] = " etaoinshrdlucmfwypvbgkqjxz\n"[(x >> 16) % 28];
  }
  std::ofstream(path, std::ios::binary) << data;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  std::string base = argc > 1 ? argv[1] : temp;
  std::string root = base + "\\parcelo-workflow-bench";
  RemoveTree(root);
  CreateDirectoryA(root.c_str(), nullptr);
  std::string files = root + "\\files";
  CreateDirectoryA(files.c_str(), nullptr);

  std::printf("Making 99 files of 2 MB ...\n");
  std::vector<std::string> paths;
  for (int i = 0; i < 99; ++i) {
    paths.push_back(files + "\\file" + std::to_string(i) + ".txt");
    WriteFile(paths.back(), 2 * 1000 * 1000, static_cast<unsigned>(i));
  }

  BenchSeam seam;
  tk::SeamOverride install(seam);
  Form1 form;
  form.Load();

  // Creation: the library alone, then through the window (the same files, one run).
  std::array<std::string, ziplib::kZipNameSlots> names{};
  for (size_t i = 0; i < paths.size(); ++i) names[i] = paths[i];
  ZipCallbacks callbacks{};
  ZipOptions options{};
  options.JunkDir = 1;
  int32_t status = -1;
  double alone = Seconds([&] {
    ziplib::Zip32 library;
    library.ZpInit(&callbacks);
    library.ZpSetOptions(options);
    status = library.ZpArchive(static_cast<int16_t>(paths.size()), root + "\\alone.zip", names);
  });
  std::printf("create, library alone : %7.3f s (status %d)\n", alone, status);
  // The same with a service callback that does nothing, as a driver with progress would.
  ZipCallbacks quiet{};
  quiet.Service = &IgnoreService;
  double aloneWithCallback = Seconds([&] {
    ziplib::Zip32 library;
    library.ZpInit(&quiet);
    library.ZpSetOptions(options);
    status = library.ZpArchive(static_cast<int16_t>(paths.size()), root + "\\alone2.zip", names);
  });
  std::printf("create, library + empty callback: %7.3f s (status %d)\n", aloneWithCallback, status);
  for (const auto& p : paths) {
    std::vector<std::string> one{p};
    form.List1_OLEDragDrop(one);
  }
  seam.saveAs = root + "\\window.zip";
  double window = Seconds([&] { form.cmdZip_Click(); });
  std::printf("create, through window: %7.3f s (%+.1f %%)\n", window, 100.0 * (window / alone - 1));

  // Extraction of 70,000 small members: make the archive with the library from 70,000 files.
  std::printf("Making an archive of 70,000 small members ...\n");
  std::string small = root + "\\source";
  CreateDirectoryA(small.c_str(), nullptr);
  for (int d = 0; d < 70; ++d) {
    std::string dir = small + "\\d" + std::to_string(d);
    CreateDirectoryA(dir.c_str(), nullptr);
    for (int i = 0; i < 1000; ++i)
      WriteFile(dir + "\\f" + std::to_string(i) + ".txt", 100 + (i % 50), d * 1000 + i);
  }
  ZipOptions recurse{};
  recurse.Recurse = 1;  // add what the listed folder holds
  std::array<std::string, ziplib::kZipNameSlots> smallNames{};
  smallNames[0] = small;
  {
    ziplib::Zip32 library;
    library.ZpInit(&callbacks);
    library.ZpSetOptions(recurse);
    status = library.ZpArchive(1, root + "\\small.zip", smallNames);
  }
  std::printf("  archive status %d\n", status);

  UnzipCallbacks unzipCallbacks{};
  UnzipOptions unzipOptions{};
  unzipOptions.UseFolders = 1;
  unzipOptions.Overwrite = 1;
  unzipOptions.Quiet = 2;
  std::string aloneDir = root + "\\alone\\";
  alone = Seconds([&] {
    ziplib::Unzip32 library;
    status = library.Wiz_SingleEntryUnzip(unzipOptions, root + "\\small.zip", aloneDir.c_str(),
                                          unzipCallbacks);
  });
  std::printf("extract, library alone : %7.3f s (status %d)\n", alone, status);
  std::vector<std::string> drop{root + "\\small.zip"};
  form.txtPath_OLEDragDrop(drop);
  std::printf("  listed %d members\n", form.List1.ListCount());
  window = Seconds([&] { form.Command2_Click(); });
  std::printf("extract, through window: %7.3f s (%.2f x)\n", window, window / alone);
  form.Unload();
  RemoveTree(root);
  return 0;
}
