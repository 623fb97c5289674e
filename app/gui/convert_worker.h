#pragma once
// Runs the conversion job for a list of files on a worker thread and reports each step back.
#include <QList>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

#include "app/conversion_job.h"

namespace plover {

// One checked row of the list, as the Convert command found it.
struct TConvertTask {
  quint64 RowId = 0;
  QString SourceFolder;  // ends in "/"
  QString FileName;
  QString OutputFolder;  // ends in "/"
};

// Choices that hold for the whole run.
struct TConvertSettings {
  QString Password;
  int FormatIndex = 1;
  int ScaleIndex = 3;
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
  void FileProgress(int percent);
  // `reason` says why a file failed; `outputFolder` is empty when no image was written.
  void FileFinished(int n, quint64 rowId, int result, const QString& reason, const QString& outputFolder,
                    int pageCount);
  void AllDone();

 private:
  TConvertJob job_;
  std::shared_ptr<std::atomic<bool>> cancel_;
};

}  // namespace plover
