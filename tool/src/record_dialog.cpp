#include "record_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <algorithm>
#include <climits>

#include "text_ids.h"
#include "texts.h"

namespace utvex {

namespace {

int clampToInt(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX)); }

}  // namespace

RecordDialog::RecordDialog(const Texts& texts, const QString& title, RecordShape shape, const QString& value,
                           QWidget* parent)
    : QDialog(parent), shape_(std::move(shape)) {
  setObjectName(QStringLiteral("record"));
  setWindowTitle(title);
  const std::optional<QStringList> values = splitRecord(shape_, value);
  auto* grid = new QGridLayout;
  // Long records take two columns, the first half of the values on the left.
  const int count = static_cast<int>(shape_.parts.size());
  const int columns = count > 8 ? 2 : 1;
  const int rows = (count + columns - 1) / columns;
  for (int k = 0; k < count; ++k) {
    const RecordPart& part = shape_.parts[static_cast<std::size_t>(k)];
    const QString shown = values ? values->at(k) : QString();
    QWidget* widget = nullptr;
    if (part.digits > 0) {
      auto* edit = new QLineEdit(shown);
      edit->setMaxLength(part.digits);
      edit->setValidator(new QRegularExpressionValidator(
          QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(part.digits)), edit));
      widget = edit;
    } else if (part.firstChoiceText != 0) {
      auto* combo = new QComboBox;
      for (int64_t n = part.minimum; n <= part.maximum; ++n) {
        combo->addItem(texts.text(part.firstChoiceText + static_cast<uint32_t>(n - part.minimum)),
                       QString::number(n));
      }
      combo->setCurrentIndex(std::max(0, combo->findData(shown)));
      widget = combo;
    } else {
      auto* spin = new QSpinBox;
      spin->setRange(clampToInt(part.minimum), clampToInt(part.maximum));
      bool ok = false;
      const qlonglong number = shown.toLongLong(&ok);
      spin->setValue(ok ? clampToInt(number) : spin->minimum());
      widget = spin;
    }
    widget->setObjectName(QStringLiteral("part_%1").arg(k));
    const QString label = part.number >= 0 ? texts.format(part.label, {QString::number(part.number)})
                                           : texts.text(part.label);
    auto* name = new QLabel(label);
    name->setBuddy(widget);
    const int row = k % rows, column = (k / rows) * 3;
    grid->addWidget(name, row, column);
    grid->addWidget(widget, row, column + 1);
    widgets_.push_back(widget);
  }
  // A gap between the two columns of pairs.
  if (columns == 2) grid->setColumnMinimumWidth(2, 24);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(texts.text(text::kOk));
  buttons->button(QDialogButtonBox::Cancel)->setText(texts.text(text::kCancel));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  setMinimumWidth(380);
}

void RecordDialog::setSelectedReader(Reader reader) {
  reader_ = std::move(reader);
  auto* selector = qobject_cast<QComboBox*>(widgets_.empty() ? nullptr : widgets_.front());
  if (selector == nullptr || !reader_) return;
  connect(selector, &QComboBox::currentIndexChanged, this, [this, selector] {
    loading_ = true;
    setEnabled(false);
    reader_(this, selector->currentData().toInt(), [this](const QString& text) {
      loading_ = false;
      setEnabled(true);
      if (const auto values = splitRecord(shape_, text)) showValues(*values, false);
    });
  });
}

void RecordDialog::showValues(const QStringList& values, bool withSelector) {
  for (std::size_t k = withSelector ? 0 : 1; k < widgets_.size(); ++k) {
    const QString value = values.value(static_cast<qsizetype>(k));
    if (auto* spin = qobject_cast<QSpinBox*>(widgets_[k])) {
      spin->setValue(value.toInt());
    } else if (auto* combo = qobject_cast<QComboBox*>(widgets_[k])) {
      combo->setCurrentIndex(std::max(0, combo->findData(value)));
    } else if (auto* edit = qobject_cast<QLineEdit*>(widgets_[k])) {
      edit->setText(value);
    }
  }
}

QString RecordDialog::value() const {
  QStringList values;
  for (QWidget* widget : widgets_) {
    if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
      values << QString::number(spin->value());
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
      values << combo->currentData().toString();
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      values << edit->text();
    }
  }
  return joinRecord(shape_, values);
}

}  // namespace utvex
