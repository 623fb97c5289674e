#pragma once
// Helpers of the window tests: a private configuration folder, PDF files, message boxes.
#include <QLocale>
#include <QMessageBox>
#include <QString>
#include <QTemporaryDir>
#include <functional>

#include "app/gui/frm_convert_image.h"

namespace guitest {

// A temporary folder with a configuration folder "config/" and a files folder "files/".
class TTestFolders {
 public:
  TTestFolders();
  QString Config() const { return dir_.path() + "/config/"; }
  QString Files() const { return dir_.path() + "/files/"; }
  QString Root() const { return dir_.path() + "/"; }
  // Options for a window using this configuration folder and `locale`.
  plover::FrmConvertImage::TStartOptions Options(const QLocale& locale = QLocale(QLocale::English, QLocale::UnitedStates),
                                                 plover::TConvertJob job = {}) const;
  // Writes a PDF of `pages` pages under Files() (or `folder`) and returns its path.
  QString WritePdf(const QString& name, int pages, const QString& folder = QString()) const;
  // Writes raw bytes and returns the path.
  QString WriteFile(const QString& name, const QByteArray& bytes, const QString& folder = QString()) const;

 private:
  QTemporaryDir dir_;
};

// Runs `action`, which is expected to open a modal message box, closes the box (with the
// button `answer` when given) and returns its text; empty when no box appeared.
QString TextOfMessageBox(const std::function<void()>& action, QMessageBox::StandardButton answer = QMessageBox::NoButton);

// The visible text of an action, label, button or group box named `name` in `window`.
QString TextOf(QWidget* window, const char* name);

}  // namespace guitest
