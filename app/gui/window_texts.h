#pragma once
// Texts of the main window that are not component captions of the language files: the result
// line, questions and notices, in both interface languages.
#include <QString>

namespace plover {

enum class TWindowText {
  Converted,         // "%1 converted"
  Failed,            // ", %1 failed"
  Cancelled,         // ", %1 cancelled"
  Skipped,           // ", %1 skipped"
  OpenOutputFolder,  // the result line's button
  AskCancel,         // Escape during a run
  AskClose,          // closing the window during a run
  MixedFolders,      // output folders holding page files of another run: %1 folder, %2 example file
  FolderAdded,       // %1 PDF files added from folder %2
  NoPdfInFolder,     // folder %1 holds no PDF file
  BadPageList,       // the page list field cannot be read: %1 the text
  AllPages,          // the empty page list field
};

QString WindowText(int language, TWindowText which);

// The line shown after a run: "3 converted, 1 failed, 1 cancelled, 2 skipped" (parts that are 0
// left out, except the first).
QString ResultLineText(int language, int converted, int failed, int cancelled, int skipped);

}  // namespace plover
