#include "CAboutDlg.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "CStaticLink.h"
#include "CommandLine.h"
#include "Version.h"

QString CAboutDlg::productLine() { return QStringLiteral("Vestrel version ") + QStringLiteral(VESTREL_VERSION); }

QString CAboutDlg::copyrightLine() { return QStringLiteral("Copyright (C) 2026 Telmora"); }

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Vestrel"));
  auto* product = new QLabel(productLine(), this);
  product->setObjectName(QStringLiteral("control1018"));
  auto* copyright = new QLabel(copyrightLine(), this);
  copyright->setObjectName(QStringLiteral("control1017"));
  link_ = new CStaticLink(QStringLiteral("https://vestrel.example.org/"), this);
  link_->setObjectName(QStringLiteral("control1021"));
  link_->setAlignment(Qt::AlignCenter);
  auto* heading = new QLabel(QStringLiteral("Command line options for unattended mode:"), this);
  usage_ = new QPlainTextEdit(this);
  usage_->setObjectName(QStringLiteral("control1023"));
  usage_->setReadOnly(true);
  usage_->setLineWrapMode(QPlainTextEdit::NoWrap);
  usage_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  usage_->setPlainText(QString::fromStdString(usageText() + "\r\n" + platformUsageNotes()).remove(QLatin1Char('\r')));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(product);
  layout->addWidget(copyright);
  layout->addWidget(link_);
  layout->addWidget(heading);
  layout->addWidget(usage_, 1);
  layout->addWidget(ok, 0, Qt::AlignRight);
  resize(640, 460);
}
