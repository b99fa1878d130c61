#pragma once
// The common file-open dialog as a component without a visible part.

#include <QObject>
#include <QString>

class QWidget;

namespace rtl {

class TOpenDialog : public QObject {
  Q_OBJECT
 public:
  explicit TOpenDialog(QObject* owner = nullptr) : QObject(owner) {}

  // "Description|pattern|Description|pattern", as stored with the form.
  QString Filter;
  // The full path of the chosen file after a confirmed Execute.
  QString FileName;
  QString InitialDir;
  QString Title;

  // Runs the dialog modally; true when the user confirmed a file, which need not exist.
  bool Execute(QWidget* parent = nullptr);

  // "Palomir Software|Palomir.exe" as Qt name filters: "Palomir Software (Palomir.exe)".
  static QStringList NameFilters(const QString& filter);
};

}  // namespace rtl
