#pragma once
// A group box that owns its radio buttons, one for each item.

#include <QGroupBox>
#include <QList>
#include <QStringList>

class QRadioButton;

namespace rtl {

class TRadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  explicit TRadioGroup(QWidget* parent = nullptr);

  // Replaces the buttons by one for each item, stacked top to bottom.
  void SetItems(const QStringList& items);
  QStringList Items() const;
  // The buttons the group owns, in item order.
  const QList<QRadioButton*>& Buttons() const { return buttons_; }
  int ItemIndex() const;
  void SetItemIndex(int index);

 private:
  QList<QRadioButton*> buttons_;
};

}  // namespace rtl
