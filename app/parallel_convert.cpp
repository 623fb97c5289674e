#include "app/parallel_convert.h"

#include <malloc.h>
#include <sched.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include "app/page_file.h"
#include "engine/kestrel.h"

namespace plover {

namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
// A page tree that holds far fewer pages than its declared count (a count of two billion is
// possible) would keep the workers busy for hours: stop after a long run of missing pages.
constexpr int kMaxMissingRun = 1000;

// A worker's own document handle on one file's shared mapping.
struct THandle {
  std::size_t File = kNone;
  std::shared_ptr<const kestrel::TFileBytes> Bytes;
  std::unique_ptr<kestrel::TKestrel0725> Engine;
  kestrel::TSmartPDFLink* Link = nullptr;

  // `budget`: the file's budget, shared with the handles that opened it before (none for the
  // first).
  bool Open(std::size_t file, std::shared_ptr<const kestrel::TFileBytes> bytes, const TBatchFile& source,
            std::shared_ptr<kestrel::TDocumentBudget> budget = nullptr) {
    Engine.reset();  // the old link before the bytes it reads
    File = file;
    Bytes = std::move(bytes);
    Engine = std::make_unique<kestrel::TKestrel0725>();
    Engine->JpegQuality = std::clamp(source.Options.JpegQuality, 1, 100);
    Engine->Output = source.Options.Output;
    Link = Engine->OpenDocument(Bytes, source.Password);
    if (Link) Link->Document()->ShareBudget(std::move(budget));
    Engine->PageView = source.Options.View;
    return Link != nullptr;
  }
};

// WriteFailed: the write error ends the file and is said once, not as a page's failure.
enum class TPageEnd { Pending, Kept, Written, Failed, WriteFailed };

struct TPageUnit {
  int Page = 0;
  bool InTree = true;
  TPageEnd End = TPageEnd::Pending;
  std::string Problem;  // why nothing was written, or what is missing from what was
};

// What is known of one file's pages: the plan made when it opens, then each page's result.
struct TFileWork {
  int OpenResult = kJobOpenFailed;  // kJobFailed once the file opened with pages
  TJobReport Report;                // the page count, or why the file did not open
  std::shared_ptr<const kestrel::TFileBytes> Bytes;
  // What all the file's pages may spend, whichever worker's handle draws them; a stream cut
  // short on one page is left out on the others.
  std::shared_ptr<kestrel::TDocumentBudget> Budget;
  std::string CountNote;            // the declared page count was wrong: said once, before the pages
  std::vector<std::string> Before;  // failures named before any page: pages past the end, a refused selection
  std::vector<TPageUnit> Units;
  std::string After;  // why the page list was cut short
  std::int64_t Total = 0;  // pages selected
  std::int64_t Done = 0;   // pages handled, in any order
  std::string WriteError;  // a write failed: it stops the file and is its reason
};

// Reads and opens a file and lists its pages; the opener's handle draws them afterwards.
TFileWork PlanFile(const TBatchFile& file, THandle& handle, std::size_t index) {
  TFileWork work;
  TJobReport& report = work.Report;
  // The file is mapped, not read: only the parts the pages use are ever loaded.
  work.Bytes = MapInput(file.Source, report);
  if (!work.Bytes) return work;
  const bool opened = handle.Open(index, work.Bytes, file);
  kestrel::TKestrel0725& engine = *handle.Engine;
  const int count = engine.GetPageCount(handle.Link);
  report.PageCount = std::max(count, 0);
  if (work.Bytes->Changed()) {
    report.Problem = TJobProblem::Unreadable;
    report.Reason = kestrel::TFileBytes::kChangedReason;
    return work;
  }
  if (!opened) {
    DescribeOpenFailure(work.Bytes->View(), engine.LastErrorCode, engine.LastErrorText, report);
    return work;
  }
  if (count <= 0) {
    report.Problem = handle.Link->Document()->PageCountNote().empty() ? TJobProblem::NoPages : TJobProblem::Damaged;
    report.Reason = NoPagesReason(*handle.Link);
    return work;
  }
  work.CountNote = handle.Link->Document()->PageCountNote();
  work.Budget = handle.Link->Document()->SharedBudget();
  work.OpenResult = kJobFailed;
  // Requested pages past the end are named once, not one by one.
  std::vector<TPageRange> pages = file.Options.Pages;
  if (pages.empty()) pages.push_back({1, count});
  std::int64_t missing = 0;
  int firstMissing = 0, lastMissing = 0;
  for (TPageRange& range : pages) {
    // A range to the end names no missing page, unless it starts past the end.
    const int last = range.Last == kLastPage ? std::max(range.First, count) : range.Last;
    if (last > count) {
      if (missing == 0) firstMissing = std::max(range.First, count + 1);
      lastMissing = last;
      missing += std::int64_t{last} - std::max(range.First, count + 1) + 1;
    }
    range.Last = std::min(range.Last, count);
    if (range.First <= range.Last) work.Total += (std::int64_t{range.Last} - range.First) / range.Step + 1;
  }
  if (missing > 0)
    work.Before.push_back((missing == 1 ? "page " + std::to_string(firstMissing) + " does not exist"
                                        : "pages " + std::to_string(firstMissing) + "-" + std::to_string(lastMissing) +
                                              " do not exist") +
                          ": the document has " + std::to_string(count) + (count == 1 ? " page" : " pages"));
  if (file.Options.CheckSelection) {
    if (std::string why = file.Options.CheckSelection(work.Total, count); !why.empty()) {
      work.Before.push_back(std::move(why));
      return work;
    }
  }
  int missingRun = 0;
  for (const TPageRange& range : pages) {
    for (std::int64_t page = range.First; page <= range.Last; page += range.Step) {
      const bool inTree = engine.FindPage(handle.Link, static_cast<int>(page)) != nullptr;
      missingRun = inTree ? 0 : missingRun + 1;
      if (missingRun > kMaxMissingRun) {
        work.After = "stopped: the page tree holds fewer pages than the document declares";
        return work;
      }
      work.Units.push_back({static_cast<int>(page), inTree, TPageEnd::Pending, {}});
    }
  }
  return work;
}

// What became of one page drawn by a worker.
struct TPageResult {
  TPageEnd End = TPageEnd::Failed;
  std::string Problem;
  bool FolderUsed = false;
  std::string WriteError;
};

TPageResult DrawPage(THandle& handle, int page, const TBatchFile& file, const TBatch& batch, const std::string& folder,
                     bool folderMade) {
  const TConvertOptions& options = file.Options;
  TPageResult result;
  try {
    if (options.SkipPage && options.SkipPage(folder, page)) {
      result.End = TPageEnd::Kept;
      result.FolderUsed = !options.WritePage;
      return result;
    }
    kestrel::TKestrel0725& engine = *handle.Engine;
    // The page goes straight to its file as it is made (a BMP page at 2400 dpi is 1.6 GB); a
    // caller that takes the bytes itself gets them whole.
    std::string stream;
    kestrel::TBytesSink memory(stream);
    std::optional<TPageFileSink> file;
    if (!options.WritePage) {
      file.emplace(folder, options.PageName ? options.PageName(page) : std::to_string(page) + "." + batch.Extension,
                   [&]() -> std::string {
                     if (folderMade) return {};
                     std::error_code ec;
                     if (options.CreateParents) std::filesystem::create_directories(folder, ec);
                     else std::filesystem::create_directory(folder, ec);
                     if (ec) return "cannot create the folder " + folder + ": " + ec.message();
                     result.FolderUsed = true;
                     return {};
                   });
    }
    kestrel::TByteSink& out = file ? static_cast<kestrel::TByteSink&>(*file) : memory;
    kestrel::TPDFIndRef* ref = handle.Link ? engine.FindPage(handle.Link, page) : nullptr;
    if (!ref) result.Problem = "page not found in the page tree";
    if (ref && engine.RenderPageToStream(handle.Link, ref, out, options.Dpi, batch.FormatIndex) == 0)
      result.Problem = "the page reference was refused";
    if (result.Problem.empty()) result.Problem = engine.LastRenderProblem;
    if (handle.Bytes->Changed()) {
      // A file cut short while it was read gave zeros for what was gone: nothing drawn from it
      // since is trusted, and the file stops with that reason (its page file is removed).
      result.WriteError = kestrel::TFileBytes::kChangedReason;
      return result;
    }
    if (file && !file->Error().empty()) throw std::runtime_error(file->Error());
    if (out.Size() == 0) {
      // No image for this page: write no empty file, go on, and report the file as failed.
      if (result.Problem.empty()) result.Problem = "no image produced";
      return result;
    }
    if (file) file->Commit();
    else options.WritePage(page, stream);
    result.End = TPageEnd::Written;
  } catch (const std::bad_alloc&) {
    result.WriteError = "out of memory";
  } catch (const std::exception& e) {
    result.WriteError = e.what();
  }
  return result;
}

// "report (2) (3)" -> "report": the names one claim can hand out all start with this root, so
// files of different roots never compete for a folder.
std::string ClaimRoot(const TBatchFile& file) {
  std::string name = file.ClaimName;
  for (;;) {
    if (name.size() < 4 || name.back() != ')') break;
    const std::size_t open = name.rfind(" (");
    if (open == std::string::npos || open + 3 > name.size() - 1) break;
    const std::string digits = name.substr(open + 2, name.size() - open - 3);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) break;
    name.erase(open);
  }
  std::string parent = file.ClaimParent;
  if (parent.empty() || parent.back() != '/') parent += '/';
  return parent + '\n' + name;
}

class TRun {
 public:
  TRun(const std::vector<TBatchFile>& files, const TBatch& batch) : files_(files), batch_(batch), runs_(files.size()) {
    if (!batch_.Claims) return;
    // A file whose folder name could collide with an earlier file's waits until that file has
    // settled whether it keeps its folder, as it would when the files run one after another.
    std::vector<std::pair<std::string, std::size_t>> last;
    for (std::size_t i = 0; i < files.size(); ++i) {
      const std::string root = ClaimRoot(files[i]);
      auto it = std::find_if(last.begin(), last.end(), [&](const auto& e) { return e.first == root; });
      if (it == last.end()) {
        last.push_back({root, i});
      } else {
        runs_[i].Blocker = it->second;
        it->second = i;
      }
    }
  }

  void Run() {
    const int jobs = std::clamp(batch_.Jobs, 1, kMaxJobs);
    workersLeft_ = jobs;
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(jobs));
    for (int i = 0; i < jobs; ++i) workers.emplace_back([this] { Work(); });
    std::exception_ptr failure;
    try {
      Report();
    } catch (...) {
      // A callback of the caller threw: stop the workers before passing it on.
      failure = std::current_exception();
      abort_ = true;
    }
    for (std::thread& t : workers) t.join();
    if (failure) std::rethrow_exception(failure);
  }

 private:
  enum class TPhase { Waiting, Opening, Running, Finished };

  struct TFileRun {
    TPhase Phase = TPhase::Waiting;
    std::size_t Blocker = kNone;
    std::string Folder;
    bool FolderMade = false;
    TFileWork Work;
    std::size_t NextUnit = 0;  // the next page to hand out
    std::size_t Busy = 0;      // pages being drawn
    int Result = kJobOpenFailed;
    TJobReport Report;  // once finished
  };

  bool Stopped() const { return abort_ || (batch_.Cancel && batch_.Cancel->load()); }

  bool HasPages(const TFileRun& run) const {
    return run.Phase == TPhase::Running && run.Work.WriteError.empty() && run.NextUnit < run.Work.Units.size();
  }

  std::size_t NextStartable() const {
    for (std::size_t i = 0; i < runs_.size(); ++i)
      if (runs_[i].Phase == TPhase::Waiting &&
          (runs_[i].Blocker == kNone || runs_[runs_[i].Blocker].Phase == TPhase::Finished))
        return i;
    return kNone;
  }

  // Whether anything may still give a worker a page: a file not finished that is not yet
  // running or still has pages to hand out.
  bool WorkMayCome() const {
    return std::any_of(runs_.begin(), runs_.end(), [&](const TFileRun& r) {
      return r.Phase == TPhase::Waiting || r.Phase == TPhase::Opening || HasPages(r);
    });
  }

  void Work() {
    THandle handle;
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
      if (Stopped()) break;
      std::size_t f = kNone;
      if (handle.File != kNone && HasPages(runs_[handle.File])) {
        f = handle.File;
      } else if (const std::size_t s = NextStartable(); s != kNone) {
        StartFile(s, handle, guard);
        continue;
      } else {
        // Help with the earliest file that still has pages, through a handle of our own; a
        // file that goes to one stream keeps its one worker, so its pages come in order.
        for (std::size_t i = 0; i < runs_.size() && f == kNone; ++i)
          if (HasPages(runs_[i]) && !files_[i].Options.WritePage) f = i;
        if (f == kNone) {
          if (!WorkMayCome()) break;
          if (handle.File != kNone) {
            // Nothing left to draw in it: give its document back while we wait.
            guard.unlock();
            handle = THandle();
            guard.lock();
            continue;
          }
          work_.wait(guard);
          continue;
        }
        if (handle.File != f) {
          auto bytes = runs_[f].Work.Bytes;
          auto budget = runs_[f].Work.Budget;
          guard.unlock();
          // Bytes that opened once open again; were it not so, DrawPage reports the pages.
          handle.Open(f, std::move(bytes), files_[f], std::move(budget));
          guard.lock();
          continue;
        }
      }
      TFileRun& run = runs_[f];
      TPageUnit& unit = run.Work.Units[run.NextUnit++];
      ++run.Busy;
      TPageResult page;
      if (unit.InTree) {
        const std::string folder = run.Folder;
        const bool folderMade = run.FolderMade;
        guard.unlock();
        page = DrawPage(handle, unit.Page, files_[f], batch_, folder, folderMade);
        guard.lock();
      } else {
        page.Problem = "page not found in the page tree";
      }
      if (page.FolderUsed) run.FolderMade = true;
      ++run.Work.Done;
      --run.Busy;
      if (!page.WriteError.empty()) {
        if (run.Work.WriteError.empty()) run.Work.WriteError = page.WriteError;
        unit.End = TPageEnd::WriteFailed;
      } else {
        unit.End = page.End;
        unit.Problem = std::move(page.Problem);
      }
      if (run.Busy == 0 && !HasPages(run)) Finish(f);
      work_.notify_all();
      report_.notify_all();
    }
    // Stopped or out of work: files that stopped with no page in hand are done.
    for (std::size_t i = 0; i < runs_.size(); ++i)
      if (runs_[i].Phase == TPhase::Running && runs_[i].Busy == 0) Finish(i);
    --workersLeft_;
    work_.notify_all();
    report_.notify_all();
  }

  void StartFile(std::size_t s, THandle& handle, std::unique_lock<std::mutex>& guard) {
    TFileRun& run = runs_[s];
    run.Phase = TPhase::Opening;
    run.Folder = batch_.Claims ? batch_.Claims->Claim(files_[s].ClaimParent, files_[s].ClaimName)
                               : files_[s].OutputFolder;
    report_.notify_all();
    guard.unlock();
    TFileWork work;
    try {
      work = PlanFile(files_[s], handle, s);
    } catch (const std::bad_alloc&) {
      work = TFileWork();
      work.Report.Problem = TJobProblem::Unreadable;
      work.Report.Reason = "out of memory";
    } catch (const std::exception& e) {
      work = TFileWork();
      work.Report.Problem = TJobProblem::Unreadable;
      work.Report.Reason = e.what();
    }
    if (work.OpenResult == kJobOpenFailed) handle = THandle();
    guard.lock();
    run.Work = std::move(work);
    run.Phase = run.Work.OpenResult == kJobOpenFailed ? TPhase::Finished : TPhase::Running;
    if (run.Phase == TPhase::Finished || !HasPages(run)) Finish(s);
    work_.notify_all();
    report_.notify_all();
  }

  // Settles the report of a file whose pages are all drawn, or that stopped: what one worker
  // going through the pages in order would have reported.
  void Finish(std::size_t f) {
    TFileRun& run = runs_[f];
    TFileWork& work = run.Work;
    TJobReport& report = run.Report;
    report = work.Report;
    report.FolderUsed = run.FolderMade;
    if (work.OpenResult == kJobOpenFailed) {
      run.Result = kJobOpenFailed;
    } else {
      // The first reason is kept: later pages usually fail for the same one.
      auto fail = [&](const std::string& reason) {
        if (report.Problem != TJobProblem::None) return;
        report.Problem = TJobProblem::PageErrors;
        report.Reason = reason;
      };
      for (const std::string& text : work.Before) fail(text);
      if (!work.CountNote.empty()) report.PageNotes.push_back(work.CountNote);
      for (std::size_t i = 0; i < run.NextUnit; ++i) {
        const TPageUnit& unit = work.Units[i];
        if (unit.End == TPageEnd::Failed) {
          fail("page " + std::to_string(unit.Page) + ": " + unit.Problem);
        } else if (unit.End == TPageEnd::Written) {
          ++report.PagesWritten;
          for (const std::string& line : ProblemLines(unit.Problem))
            if (report.PageNotes.size() < TJobReport::kMaxPageNotes)
              report.PageNotes.push_back("page " + std::to_string(unit.Page) + ": " + line);
        }
      }
      const bool cut = run.NextUnit < work.Units.size();
      if (!work.After.empty() && !cut) fail(work.After);
      if (!work.WriteError.empty()) {
        // A write that failed (a full disk) stopped the file: that is the reason to give.
        report.Problem = TJobProblem::PageErrors;
        report.Reason = work.WriteError;
      } else if (cut && Stopped()) {
        report.Problem = TJobProblem::Cancelled;
        report.Reason = "cancelled after page " + std::to_string(work.Done) + " of " + std::to_string(work.Total);
      }
      run.Result = report.Problem == TJobProblem::None ? kJobComplete : kJobFailed;
    }
    if (batch_.Claims && !run.FolderMade) batch_.Claims->Release(run.Folder);
    work.Bytes.reset();
    run.Phase = TPhase::Finished;
  }

  // Hands the events to the caller, file by file in input order, each file's pages in order.
  void Report() {
    std::unique_lock<std::mutex> guard(lock_);
    std::size_t r = 0;
    bool started = false, opened = false;
    std::size_t delivered = 0;
    int shown = -1;
    // The caller's callbacks run with the lock released.
    auto call = [&](auto&& event) {
      guard.unlock();
      event();
      guard.lock();
    };
    while (r < runs_.size()) {
      TFileRun& run = runs_[r];
      const TConvertOptions& options = files_[r].Options;
      const TFileWork& work = run.Work;
      if (!started) {
        if (run.Phase == TPhase::Waiting) {
          if (workersLeft_ == 0) break;  // stopped: the rest never started
          report_.wait(guard);
          continue;
        }
        started = true;
        const std::string folder = run.Folder;
        if (batch_.Started) call([&] { batch_.Started(r, folder); });
        continue;
      }
      if (!opened && run.Phase >= TPhase::Running) {
        opened = true;
        if (work.OpenResult == kJobOpenFailed) continue;
        const int count = work.Report.PageCount;
        const std::vector<std::string> before = work.Before;
        const std::string countNote = work.CountNote;
        call([&] {
          if (options.Report) options.Report->PageCount = count;
          for (const std::string& text : before)
            if (options.PageFailed) options.PageFailed(0, text);
          if (!countNote.empty() && options.PageNote) options.PageNote(0, countNote);
        });
        continue;
      }
      if (opened && delivered < work.Units.size() && work.Units[delivered].End != TPageEnd::Pending) {
        const TPageUnit unit = work.Units[delivered++];
        call([&] { DeliverPage(options, unit); });
        continue;
      }
      const int percent =
          work.Total == 0 ? 0
                          : static_cast<int>(std::trunc(static_cast<double>(work.Done) / static_cast<double>(work.Total) * 100.0));
      if (opened && work.Done > 0 && percent != shown) {
        shown = percent;
        if (options.Progress) call([&] { options.Progress(percent); });
        continue;
      }
      if (run.Phase == TPhase::Finished && (delivered >= run.NextUnit || work.OpenResult == kJobOpenFailed)) {
        const int result = run.Result;
        const TJobReport report = run.Report;
        const bool cut = run.NextUnit < work.Units.size();
        std::vector<std::string> after;
        if (!work.After.empty() && !cut) after.push_back(work.After);
        if (!work.WriteError.empty()) after.push_back(work.WriteError);
        call([&] {
          for (const std::string& text : after)
            if (options.PageFailed) options.PageFailed(0, text);
          if (options.Report) *options.Report = report;
          if (batch_.Finished) batch_.Finished(r, result, report);
        });
        ++r;
        started = opened = false;
        delivered = 0;
        shown = -1;
        continue;
      }
      report_.wait(guard);
    }
  }

  static void DeliverPage(const TConvertOptions& options, const TPageUnit& unit) {
    switch (unit.End) {
      case TPageEnd::Kept:
        if (options.PageKept) options.PageKept(unit.Page);
        break;
      case TPageEnd::Written:
        if (options.PageWritten) options.PageWritten(unit.Page);
        // One note per cause the engine gave.
        if (options.PageNote)
          for (const std::string& line : ProblemLines(unit.Problem)) options.PageNote(unit.Page, line);
        break;
      case TPageEnd::Failed:
        if (options.PageFailed)
          for (const std::string& line : ProblemLines(unit.Problem)) options.PageFailed(unit.Page, line);
        break;
      case TPageEnd::Pending:
      case TPageEnd::WriteFailed:
        break;
    }
  }

  const std::vector<TBatchFile>& files_;
  const TBatch& batch_;
  std::mutex lock_;
  std::condition_variable work_;    // a file opened or finished: there may be pages to take
  std::condition_variable report_;  // something for the caller to see
  std::vector<TFileRun> runs_;
  int workersLeft_ = 0;
  std::atomic<bool> abort_{false};
};

}  // namespace

int AvailableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  const int cores = ::sched_getaffinity(0, sizeof set, &set) == 0
                        ? CPU_COUNT(&set)
                        : static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(cores, 1, kMaxJobs);
}

void ReusePageMemory() {
  // Blocks up to 256 MiB (an A4 page at 600 dpi is 139 MB) come from the heap, and up to
  // 512 MiB of free heap stays with the process.
  ::mallopt(M_MMAP_THRESHOLD, 256 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 512 << 20);
}

void ConvertFiles(const std::vector<TBatchFile>& files, const TBatch& batch) {
  TRun run(files, batch);
  run.Run();
}

}  // namespace plover
