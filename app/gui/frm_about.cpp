#include "app/gui/frm_about.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/gui/product_info.h"
#include "app/gui/theme.h"

namespace plover {

FrmAbout::FrmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FrmAbout"));
  setWindowTitle(QString::fromUtf8("关于"));
  setModal(true);

  auto* logo = new QLabel(this);
  logo->setPixmap(ThemeIcon("image-x-generic", QStyle::SP_FileIcon).pixmap(48, 48));
  logo->setAlignment(Qt::AlignTop);
  softName_ = new QLabel(this);
  softName_->setObjectName(QStringLiteral("LabSoftName"));
  QFont big = softName_->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() + 4);
  softName_->setFont(big);
  version_ = new QLabel(this);
  version_->setObjectName(QStringLiteral("LabVer"));
  auto* homeLabel = new QLabel(QString::fromUtf8("主页:"), this);
  homeLabel->setObjectName(QStringLiteral("LabHome"));
  home_ = new TLinkLabel(this);
  home_->setObjectName(QStringLiteral("RzURLLabel4"));
  auto* mailLabel = new QLabel(QString::fromUtf8("邮件:"), this);
  mailLabel->setObjectName(QStringLiteral("LabMail"));
  mail_ = new TLinkLabel(this);
  mail_->setObjectName(QStringLiteral("RzURLLabel1"));
  auto* close = new QPushButton(QString::fromUtf8("关闭"), this);
  close->setObjectName(QStringLiteral("BTNClose"));
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  auto* links = new QGridLayout;
  links->setHorizontalSpacing(8);
  links->addWidget(homeLabel, 0, 0);
  links->addWidget(home_, 0, 1);
  links->addWidget(mailLabel, 1, 0);
  links->addWidget(mail_, 1, 1);
  links->setColumnStretch(1, 1);
  auto* text = new QVBoxLayout;
  text->addWidget(softName_);
  text->addWidget(version_);
  text->addSpacing(10);
  text->addLayout(links);
  auto* top = new QHBoxLayout;
  top->addWidget(logo);
  top->addSpacing(12);
  top->addLayout(text, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 14);
  layout->addLayout(top);
  layout->addSpacing(12);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void FrmAbout::SetProduct(const QString& appTitle, int language) {
  const TProductInfo& info = ProductInfo(language);
  softName_->setText(appTitle);
  version_->setText(QString::fromLatin1(kVersionText));
  home_->SetUrl(QUrl(info.HomePage));
  home_->SetCaption(info.HomePage);
  mail_->SetUrl(QUrl(QStringLiteral("mailto:") + info.Email));
  mail_->SetCaption(info.Email);
  // Lines without an address are left out.
  for (QWidget* line : {static_cast<QWidget*>(home_), findChild<QWidget*>(QStringLiteral("LabHome"))})
    line->setVisible(!info.HomePage.isEmpty());
  for (QWidget* line : {static_cast<QWidget*>(mail_), findChild<QWidget*>(QStringLiteral("LabMail"))})
    line->setVisible(!info.Email.isEmpty());
}

}  // namespace plover
