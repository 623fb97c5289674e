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

// A job for one file (the window's tests give one): returns kJobOpenFailed, kJobComplete or kJobFailed and says in
// `report` why and whether the output folder was used.
using TConvertJob =
    std::function<int(const TConvertTask& task, const TConvertSettings& settings,
                      const std::function<void(int)>& progress, const std::atomic<bool>& cancel, TJobReport& report)>;


class TConvertWorker : public QObject {
  Q_OBJECT
 public:
  TConvertWorker(TConvertJob job, std::shared_ptr<std::atomic<bool>> cancel)
      : job_(std::move(job)), cancel_(std::move(cancel)) {}

  // Converts the tasks; runs on the worker's thread. Without a job of its own the files and
  // their pages are spread over one worker per core (each page file is written whole or not at
  // all); either way the signals come file by file in order, and no file starts once the cancel
  // flag is set.
  void Run(const QList<TConvertTask>& tasks, const TConvertSettings& settings);

 signals:
  void FileStarted(int n, quint64 rowId);
  void FileProgress(quint64 rowId, int percent);
  void FileFinished(int n, quint64 rowId, const plover::TFileOutcome& outcome);
  void AllDone();

 private:
  void RunWithWorkers(const QList<TConvertTask>& tasks, const TConvertSettings& settings);

  TConvertJob job_;
  std::shared_ptr<std::atomic<bool>> cancel_;
};

}  // namespace plover
