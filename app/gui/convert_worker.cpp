#include "app/gui/convert_worker.h"

#include <QFile>
#include <exception>

#include "app/conversion_job.h"
#include "app/status_text.h"

namespace plover {

int RunConversionJob(const TConvertTask& task, const TConvertSettings& settings,
                     const std::function<void(int)>& progress, const std::atomic<bool>& cancel, TJobReport& report) {
  const int format = settings.FormatIndex >= 0 && settings.FormatIndex < 8 ? settings.FormatIndex : 1;
  TConvertOptions options;
  options.Dpi = DpiForScaleIndex(settings.ScaleIndex);
  options.Progress = progress;
  options.Cancel = &cancel;
  options.Report = &report;
  return ConvertFileWith(QFile::encodeName(task.SourceFolder + task.FileName).toStdString(),
                         settings.Password.toStdString(), kFormatCaptions[format], format,
                         QFile::encodeName(task.OutputFolder).toStdString(), options);
}

void TConvertWorker::Run(const QList<TConvertTask>& tasks, const TConvertSettings& settings) {
  int n = 0;
  for (const TConvertTask& task : tasks) {
    if (cancel_->load()) break;
    ++n;
    emit FileStarted(n, task.RowId);
    int result = kJobFailed;
    TJobReport report;
    try {
      result = job_(task, settings, [this](int percent) { emit FileProgress(percent); }, *cancel_, report);
    } catch (const std::exception& e) {
      result = kJobFailed;
      report.Reason = e.what();
    }
    emit FileFinished(n, task.RowId, result, QString::fromStdString(report.Reason),
                      report.FolderUsed ? task.OutputFolder : QString(), report.PageCount);
  }
  emit AllDone();
}

}  // namespace plover
