// The settings sheet: its pages, chosen by the UT's main model, are listed
// beside the page shown. Form pages edit the settings their table lists; the phone book and service
// provider pages show a list whose entries are edited one at a time (Enter
// on the list edits the selected entry). OK stages the changed values in
// the connection object's item cache; Write Changes sends them to the UT.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "page_specs.h"

class QListWidget;
class QTabWidget;
class QTimer;
class QTreeWidget;
class QWidget;

namespace utvex {

class Prompter;
class SessionThread;
class Texts;

struct SheetPage {
  PageId id;
  std::vector<Field> fields;
  PageValues values;
  std::vector<ListRow> rows;  // the list pages
};

struct SheetData {
  HRESULT hr = S_OK;
  uint32_t failureText = 0;  // with hr: the message to show
  UTMainModel model = UTM_UNKNOWN;
  std::vector<SheetPage> pages;
};

// Reads everything the sheet shows (on the session thread).
SheetData readSheet(Session& session);

class SettingsSheet : public QDialog {
  Q_OBJECT
 public:
  SettingsSheet(const Texts& texts, SessionThread& session, Prompter& prompter, SheetData data, QWidget* parent);

  // The pages; the page list beside them chooses the one shown.
  QTabWidget* tabs() const { return tabs_; }
  QListWidget* pageList() const { return pageList_; }
  // The field widget of a page (QComboBox, QLineEdit or QCheckBox). A
  // QComboBox shows the value list's texts; each entry's data is its name.
  QWidget* fieldWidget(PageId page, uint32_t label) const;
  QTreeWidget* listOf(PageId page) const;
  // True while staged writes are on their way.
  bool busy() const { return busy_; }

 public slots:
  void accept() override;
  // Edits the selected entry of a list page (what Enter on its list does).
  void editEntry(PageId page);

 signals:
  void settled();
  // The link check found the UT gone; the sheet closes.
  void linkLost();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct PageUi {
    PageId id;
    std::vector<Field> fields;
    std::vector<QWidget*> widgets;
    std::vector<QString> initial;
    QTreeWidget* list = nullptr;
  };
  QWidget* makeFormPage(PageUi& ui, const SheetPage& page);
  void linkSharedFields();
  QWidget* makeListPage(PageUi& ui, const SheetPage& page);
  QString valueOf(const PageUi& ui, std::size_t field) const;
  // What a value list shows for an enumeration name.
  QString valueText(const QString& name) const;
  void checkConnection();

  // An entry of a list page as edited in the sheet; it is staged with OK
  // and forgotten with Cancel, like the form pages' values.
  struct EntryEdit {
    PageId page;
    int index;
    QString first, second;
    QString mcc, mnc;  // the service providers' codes
    int preference;
    bool flag;
  };

  const Texts& texts_;
  SessionThread& session_;
  std::vector<EntryEdit> entryEdits_;
  Prompter& prompter_;
  QTabWidget* tabs_ = nullptr;
  QListWidget* pageList_ = nullptr;
  QTimer* linkTimer_ = nullptr;
  std::vector<PageUi> pages_;
  bool busy_ = false;
};

}  // namespace utvex
