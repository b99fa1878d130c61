#include "rtl/ExtCtrls.h"

#include <QRadioButton>
#include <QVBoxLayout>

namespace rtl {

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent) { new QVBoxLayout(this); }

void TRadioGroup::SetItems(const QStringList& items) {
  qDeleteAll(buttons_);
  buttons_.clear();
  for (const QString& item : items) {
    auto* button = new QRadioButton(item, this);
    layout()->addWidget(button);
    buttons_.append(button);
  }
}

QStringList TRadioGroup::Items() const {
  QStringList items;
  for (QRadioButton* b : buttons_) items << b->text();
  return items;
}

int TRadioGroup::ItemIndex() const {
  for (int i = 0; i < buttons_.size(); ++i)
    if (buttons_[i]->isChecked()) return i;
  return -1;
}

void TRadioGroup::SetItemIndex(int index) {
  if (index >= 0 && index < buttons_.size()) buttons_[index]->setChecked(true);
}

}  // namespace rtl
