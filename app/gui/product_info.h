#pragma once
// Fixed product texts: titles, version and the maker's addresses, per interface language.
#include <QString>

#include "app/version.h"

namespace plover {

struct TProductInfo {
  QString Title;
  QString HomePage;
  QString Email;
  QString ProgramPage;
  QString HelpPage;
  QString DialogTitle;
  // File dialog filter in Qt's "Description (*.ext)" form.
  QString DialogFilter;
};

// Texts of interface language 0 (Simplified Chinese) or 1 (English).
const TProductInfo& ProductInfo(int language);

}  // namespace plover
