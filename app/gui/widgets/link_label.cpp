#include "app/gui/widgets/link_label.h"

#include "app/gui/shell_services.h"

namespace plover {

TLinkLabel::TLinkLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::RichText);
  setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  setCursor(Qt::PointingHandCursor);
  connect(this, &QLabel::linkActivated, this, [this] { OpenUrl(url_); });
}

void TLinkLabel::SetCaption(const QString& caption) {
  caption_ = caption;
  Render();
}

void TLinkLabel::SetUrl(const QUrl& url) {
  url_ = url;
  Render();
  setToolTip(url.toString());
}

void TLinkLabel::Render() {
  // The colour comes from the label's palette or style sheet, not from the link default.
  setText(QStringLiteral("<a href=\"open\" style=\"color: inherit; text-decoration: underline;\">%1</a>")
              .arg(caption_.toHtmlEscaped()));
}

}  // namespace plover
