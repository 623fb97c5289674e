#pragma once
// A label that shows its caption as a link and opens its address when clicked.
#include <QLabel>
#include <QUrl>

namespace plover {

class TLinkLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TLinkLabel(QWidget* parent = nullptr);
  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  QUrl Url() const { return url_; }
  void SetUrl(const QUrl& url);

 private:
  void Render();
  QString caption_;
  QUrl url_;
};

}  // namespace plover
