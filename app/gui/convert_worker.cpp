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
  options.Dpi = settings.Dpi > 0 ? settings.Dpi : DpiForScaleIndex(settings.ScaleIndex);
  options.Pages = settings.Pages;
  options.JpegQuality = settings.JpegQuality;
  options.Progress = progress;
  options.Cancel = &cancel;
  options.Report = &report;
  return ConvertFileWith(QFile::encodeName(task.SourceFolder + task.FileName).toStdString(),
                         task.Password.toStdString(), kFormatCaptions[format], format,
                         QFile::encodeName(task.OutputFolder).toStdString(), options);
}

void TConvertWorker::Run(const QList<TConvertTask>& tasks, const TConvertSettings& settings) {
  int n = 0;
  for (const TConvertTask& task : tasks) {
    if (cancel_->load()) break;
    ++n;
    emit FileStarted(n, task.RowId);
    TFileOutcome outcome;
    TJobReport report;
    const quint64 id = task.RowId;
    try {
      outcome.Result = job_(task, settings, [this, id](int percent) { emit FileProgress(id, percent); }, *cancel_, report);
    } catch (const std::exception& e) {
      outcome.Result = kJobFailed;
      report.Reason = e.what();
    }
    outcome.Problem = report.Problem;
    outcome.Reason = QString::fromStdString(report.Reason);
    for (const std::string& note : report.PageNotes) outcome.PageNotes << QString::fromStdString(note);
    if (report.FolderUsed) outcome.OutputFolder = task.OutputFolder;
    outcome.PageCount = report.PageCount;
    emit FileFinished(n, task.RowId, outcome);
  }
  emit AllDone();
}

}  // namespace plover
