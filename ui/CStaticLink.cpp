#include "CStaticLink.h"

#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

CStaticLink::CStaticLink(const QString& link, QWidget* parent) : QLabel(link, parent), link_(link) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
  QFont f = font();
  f.setUnderline(true);
  setFont(f);
  paintColour();
}

void CStaticLink::paintColour() {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, visited_ ? QColor(128, 0, 128) : QColor(0, 0, 255));
  setPalette(p);
}

bool CStaticLink::open() {
  const QString target = link_.isEmpty() ? text() : link_;
  if (target.isEmpty() || !QDesktopServices::openUrl(QUrl(target))) {
    QApplication::beep();
    return false;
  }
  visited_ = true;
  paintColour();
  return true;
}

void CStaticLink::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) open();
  QLabel::mouseReleaseEvent(event);
}

void CStaticLink::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space) {
    open();
    return;
  }
  QLabel::keyPressEvent(event);
}
