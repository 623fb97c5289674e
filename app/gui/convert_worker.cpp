#include "app/gui/convert_worker.h"

#include <QFile>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/conversion_job.h"
#include "app/status_text.h"

namespace plover {

int RunConversionJob(const TConvertTask& task, const TConvertSettings& settings,
                     const std::function<void(int)>& progress, const std::atomic<bool>& cancel) {
  const int format = settings.FormatIndex >= 0 && settings.FormatIndex < 8 ? settings.FormatIndex : 1;
  TConvertOptions options;
  options.Dpi = DpiForScaleIndex(settings.ScaleIndex);
  options.Progress = progress;
  options.Cancel = &cancel;
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
    // Only the last level is created; when that fails the job reports the file as failed.
    std::error_code ec;
    std::filesystem::create_directory(QFile::encodeName(task.OutputFolder).toStdString(), ec);
    int result = kJobFailed;
    try {
      result = job_(task, settings, [this](int percent) { emit FileProgress(percent); }, *cancel_);
    } catch (const std::exception&) {
      result = kJobFailed;
    }
    emit FileFinished(n, task.RowId, result);
  }
  emit AllDone();
}

}  // namespace plover
