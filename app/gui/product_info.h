#pragma once
// Fixed product texts: titles, version and the maker's addresses, per interface language.
#include <QString>

#include "app/version.h"

namespace plover {

struct TProductInfo {
  QString Title;
  // Web addresses of the maker; empty while there are none to give.
  QString HomePage;
  QString Email;
  QString ProgramPage;
  QString DialogTitle;
  // File dialog filter in Qt's "Description (*.ext)" form.
  QString DialogFilter;
};

// Texts of interface language 0 (Simplified Chinese) or 1 (English).
const TProductInfo& ProductInfo(int language);

// The user guide installed with the program (its README), or empty when there is none.
QString HelpDocument();

}  // namespace plover
