#pragma once
// Runs the conversion job for a list of files on a worker thread and reports each step back.
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "app/conversion_job.h"

namespace plover {

// One checked row of the list, as the Convert command found it.
struct TConvertTask {
  quint64 RowId = 0;
  QString SourceFolder;  // ends in "/"
  QString FileName;
  QString OutputFolder;  // ends in "/"
  // The password the row opened with, else the password field's text at Convert.
  QString Password;
};

// Choices that hold for the whole run.
struct TConvertSettings {
  int FormatIndex = 1;
  int ScaleIndex = 3;
  // Dots per inch; 0 takes the scale's.
  int Dpi = 0;
  int JpegQuality = 75;
  // Pages to convert (ascending, not overlapping); empty converts every page.
  std::vector<TPageRange> Pages;
};

// What became of one file, as the window shows it.
struct TFileOutcome {
  int Result = kJobFailed;
  TJobProblem Problem = TJobProblem::None;
  QString Reason;
  // The engine's notes on pages written but not completely drawn.
  QStringList PageNotes;
  // Empty when no image was written.
  QString OutputFolder;
  int PageCount = 0;
};

// The job for one file: returns kJobOpenFailed, kJobComplete or kJobFailed and says in
// `report` why and whether the output folder was used.
using TConvertJob =
    std::function<int(const TConvertTask& task, const TConvertSettings& settings,
                      const std::function<void(int)>& progress, const std::atomic<bool>& cancel, TJobReport& report)>;

// The real job: ConvertFileWith on the task's file; the output folder is made with the first page.
int RunConversionJob(const TConvertTask& task, const TConvertSettings& settings,
                     const std::function<void(int)>& progress, const std::atomic<bool>& cancel, TJobReport& report);

class TConvertWorker : public QObject {
  Q_OBJECT
 public:
  TConvertWorker(TConvertJob job, std::shared_ptr<std::atomic<bool>> cancel)
      : job_(std::move(job)), cancel_(std::move(cancel)) {}

  // Converts the tasks in order; runs on the worker's thread. Stops before the next file once
  // the cancel flag is set.
  void Run(const QList<TConvertTask>& tasks, const TConvertSettings& settings);

 signals:
  void FileStarted(int n, quint64 rowId);
  void FileProgress(quint64 rowId, int percent);
  void FileFinished(int n, quint64 rowId, const plover::TFileOutcome& outcome);
  void AllDone();

 private:
  TConvertJob job_;
  std::shared_ptr<std::atomic<bool>> cancel_;
};

}  // namespace plover
