#pragma once
// The filter box over the document list: a piece of the name, who holds a check-out
// and a date the documents changed since. Each change is told at once (the list
// filters as one types); Escape clears the whole filter.
#include <QWidget>

#include "client/rules/DocumentFilter.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;

class DocumentFilterBar : public QWidget {
  Q_OBJECT

 public:
  explicit DocumentFilterBar(QWidget* parent = nullptr);

  DocumentFilter GetFilter() const;
  // Back to the filter that shows every document; told when it changed anything.
  void Clear();

 signals:
  void filterChanged();

 protected:
  // Escape from any of the bar's controls clears the filter; on a clear bar it goes on.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLineEdit* name_;
  QComboBox* holder_;
  QCheckBox* changedSince_;
  QDateEdit* date_;
};
