#include "app/gui/language_apply.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMenu>

#include "app/gui/widgets/file_list_view.h"
#include "app/gui/widgets/link_label.h"
#include "app/gui/widgets/password_panel.h"
#include "app/language_files.h"

namespace plover {

namespace {

constexpr const char* kHintProperty = "ploverHint";

class TTextReader {
 public:
  TTextReader(const TIniFile& texts, const QString& windowName) : texts_(texts), prefix_(windowName + '.') {}
  // "Lge" value of component `name` and `suffix`, else `current`.
  QString Read(const QString& name, const char* suffix, const QString& current) const {
    const std::string key = (prefix_ + name + QLatin1Char('.') + QLatin1String(suffix)).toStdString();
    const std::optional<std::string> value = texts_.Find(kTextSection, key);
    return value ? QString::fromStdString(*value) : current;
  }

 private:
  const TIniFile& texts_;
  QString prefix_;
};

void ApplyToComponent(QObject* object, const TTextReader& reader) {
  const QString name = object->objectName();
  if (auto* link = qobject_cast<TLinkLabel*>(object)) {
    link->SetCaption(reader.Read(name, "Caption", link->Caption()));
  } else if (auto* check = qobject_cast<QCheckBox*>(object)) {
    check->setText(reader.Read(name, "Caption", check->text()));
  } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
    button->setText(reader.Read(name, "Caption", button->text()));
    button->setToolTip(reader.Read(name, "Hint", button->toolTip()));
  } else if (auto* label = qobject_cast<QLabel*>(object)) {
    label->setText(reader.Read(name, "Caption", label->text()));
    label->setToolTip(reader.Read(name, "Hint", label->toolTip()));
  } else if (auto* group = qobject_cast<QGroupBox*>(object)) {
    group->setTitle(reader.Read(name, "Caption", group->title()));
  } else if (auto* action = qobject_cast<QAction*>(object)) {
    action->setText(reader.Read(name, "Caption", action->text()));
    // An action without a hint shows its caption as tool tip; so the hint is kept apart from
    // the tool tip Qt derives from the caption.
    const QString hint = reader.Read(name, "Hint", action->property(kHintProperty).toString());
    action->setProperty(kHintProperty, hint);
    action->setToolTip(hint);
  } else if (auto* menu = qobject_cast<QMenu*>(object)) {
    menu->setTitle(reader.Read(name, "Caption", menu->title()));
  } else if (auto* panel = qobject_cast<TPasswordPanel*>(object)) {
    panel->setToolTip(reader.Read(name, "Hint", panel->toolTip()));
    panel->update();
  } else if (auto* list = qobject_cast<TFileListView*>(object)) {
    QAbstractItemModel* model = list->model();
    if (!model) return;
    for (int i = 1; i <= 6; ++i) {
      const QString current = model->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
      const QString suffix = QStringLiteral("Columns%1").arg(i);
      model->setHeaderData(i, Qt::Horizontal, reader.Read(name, suffix.toLatin1().constData(), current),
                           Qt::DisplayRole);
    }
  }
}

}  // namespace

QStringList ApplyLanguageTexts(QWidget* window, const TIniFile& texts) {
  const TTextReader reader(texts, window->objectName());
  const std::optional<std::string> title = texts.Find(kTextSection, (window->objectName() + ".Caption").toStdString());
  if (title) window->setWindowTitle(QString::fromStdString(*title));
  for (QObject* object : window->findChildren<QObject*>()) {
    if (!object->objectName().isEmpty()) ApplyToComponent(object, reader);
  }
  QStringList messages;
  for (int i = 0; i < kMessageCount; ++i)
    messages.push_back(QString::fromStdString(texts.ReadString(kMessageSection, "T" + std::to_string(i), "")));
  return messages;
}

bool ApplyLanguage(QWidget* window, const QString& languageFolder, const QString& fileName, QStringList& messages) {
  const QString path = languageFolder + fileName;
  if (!QFileInfo::exists(path)) WriteLanguageFiles(QFile::encodeName(languageFolder).toStdString());
  const std::optional<TIniFile> texts = TIniFile::Load(QFile::encodeName(path).toStdString());
  if (!texts) return false;
  messages = ApplyLanguageTexts(window, *texts);
  return true;
}

int LanguageFromLocale(const QLocale& locale) {
  if (locale.language() != QLocale::Chinese) return 1;
  switch (locale.territory()) {
    case QLocale::China:
    case QLocale::Taiwan:
    case QLocale::HongKong:
    case QLocale::Singapore:
      return 0;
    default:
      return 1;
  }
}

}  // namespace plover
