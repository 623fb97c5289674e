#include "app/gui/convert_worker.h"

#include <QFile>
#include <exception>

#include "app/conversion_job.h"
#include "app/parallel_convert.h"
#include "app/status_text.h"

namespace plover {

namespace {

TFileOutcome OutcomeOf(const TConvertTask& task, int result, const TJobReport& report) {
  TFileOutcome outcome;
  outcome.Result = result;
  outcome.Problem = report.Problem;
  outcome.Reason = QString::fromStdString(report.Reason);
  for (const std::string& note : report.PageNotes) outcome.PageNotes << QString::fromStdString(note);
  if (report.FolderUsed) outcome.OutputFolder = task.OutputFolder;
  outcome.PageCount = report.PageCount;
  return outcome;
}

}  // namespace

void TConvertWorker::RunWithWorkers(const QList<TConvertTask>& tasks, const TConvertSettings& settings) {
  const int format = settings.FormatIndex >= 0 && settings.FormatIndex < 8 ? settings.FormatIndex : 1;
  TBatch batch;
  batch.Extension = kFormatCaptions[format];
  batch.FormatIndex = format;
  batch.Jobs = AvailableCores();
  batch.Cancel = cancel_.get();
  std::vector<TBatchFile> files;
  for (const TConvertTask& task : tasks) {
    TBatchFile file;
    file.Source = QFile::encodeName(task.SourceFolder + task.FileName).toStdString();
    file.Password = task.Password.toStdString();
    file.OutputFolder = QFile::encodeName(task.OutputFolder).toStdString();
    file.Options.Dpi = settings.Dpi > 0 ? settings.Dpi : DpiForScaleIndex(settings.ScaleIndex);
    file.Options.Pages = settings.Pages;
    file.Options.JpegQuality = settings.JpegQuality;
    file.Options.Progress = [this, id = task.RowId](int percent) { emit FileProgress(id, percent); };
    files.push_back(std::move(file));
  }
  batch.Started = [&](std::size_t i, const std::string&) { emit FileStarted(static_cast<int>(i) + 1, tasks[i].RowId); };
  batch.Finished = [&](std::size_t i, int result, const TJobReport& report) {
    emit FileFinished(static_cast<int>(i) + 1, tasks[i].RowId, OutcomeOf(tasks[i], result, report));
  };
  ConvertFiles(files, batch);
}

void TConvertWorker::Run(const QList<TConvertTask>& tasks, const TConvertSettings& settings) {
  if (!job_) {
    RunWithWorkers(tasks, settings);
    emit AllDone();
    return;
  }
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
    outcome = OutcomeOf(task, outcome.Result, report);
    emit FileFinished(n, task.RowId, outcome);
  }
  emit AllDone();
}

}  // namespace plover
