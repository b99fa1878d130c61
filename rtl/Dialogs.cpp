#include "rtl/Dialogs.h"

#include <QFileDialog>
#include <QStringList>

namespace rtl {

QStringList TOpenDialog::NameFilters(const QString& filter) {
  QStringList parts = filter.split('|');
  QStringList result;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    result << parts[i] + " (" + patterns + ")";
  }
  return result;
}

bool TOpenDialog::Execute(QWidget* parent) {
  QFileDialog dialog(parent, Title, InitialDir);
  dialog.setObjectName("OpenDialog");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  QStringList filters = NameFilters(Filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  if (dialog.exec() != QDialog::Accepted) return false;
  QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  FileName = chosen.first();
  return true;
}

}  // namespace rtl
