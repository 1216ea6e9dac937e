// The Qt backend in a real (offscreen) window: typing limits, digits-only cells,
// Enter and Tab, where mouse presses go, and the form's geometry.
#include "framework/qt/qt_backend.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <vector>

#include "dialog/segment_dlg.h"
#include "platform/recording/recording_port.h"

namespace {

// A dialog on the main form's template that records the messages it gets.
class RecordingDlg : public CDialog {
 public:
  RecordingDlg() : CDialog(IDD_SEGMENT_DIALOG) {}
  std::vector<Message> got;
  int Count(Msg msg, int id = 0, Notify code = Notify::None) const {
    int n = 0;
    for (const Message& m : got)
      if (m.msg == msg && (msg != Msg::Command || (m.id == id && m.code == code))) ++n;
    return n;
  }

 protected:
  bool OnWndMsg(const Message& m, intptr_t*) override {
    got.push_back(m);
    return m.msg != Msg::SysCommand;
  }
};

class QtFormWindow {
 public:
  explicit QtFormWindow(CDialog& dlg)
      : host(dlg, *FindDialogTemplate(dlg.GetTemplateId()), nullptr) {
    dlg.Attach(&host);
    dlg.OnInitDialog();
    host.show();
    host.activateWindow();
    active = QTest::qWaitForWindowActive(&host);
    host.Item(1000)->setFocus();
  }
  QLineEdit* Edit(int id) { return qobject_cast<QLineEdit*>(host.Item(id)); }
  QtHost host;
  bool active = false;
};

// Answers the next modal dialog from inside its own event loop.
void WhenModal(std::function<void(QWidget*)> answer) {
  QTimer::singleShot(0, [answer] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w) {
      WhenModal(answer);  // not open yet
      return;
    }
    answer(w);
  });
}

}  // namespace

class QtBackendTest : public QObject {
  Q_OBJECT
  QtBackend backend;

 private slots:
  void typingStopsAtTheLimitButWrittenTextIsWhole() {
    loreth::RecordingPort port;
    CSegmentDlg dlg(port);
    QtFormWindow w(dlg);
    QLineEdit* loop1 = w.Edit(1018);  // row 1's loop cell takes two characters
    QTest::keyClicks(loop1, "123");
    QCOMPARE(loop1->text(), QString("12"));
    dlg.m_nLoops[0] = 100;
    dlg.TableToCells();
    dlg.UpdateData(FALSE);
    QCOMPARE(loop1->text(), QString("100"));
    QTest::keyClicks(loop1, "4");
    QCOMPARE(loop1->text(), QString("100"));
    loop1->end(false);
    QTest::keyClick(loop1, Qt::Key_Backspace);
    QCOMPARE(loop1->text(), QString("10"));
    QTest::keyClicks(loop1, "7");
    QCOMPARE(loop1->text(), QString("10"));  // back under the limit: typing stops at it again
  }

  void digitsOnlyCellsAndFreeFields() {
    RecordingDlg dlg;
    QtFormWindow w(dlg);
    struct {
      int id;
      const char* typed;
      const char* shown;
    } cases[] = {{1016, "a1-b2", "12"},     {1015, "a1", "a1"},
                 {1120, "-5", "-5"},        {IDC_ROW, "x7", "7"},
                 {IDC_TOTAL, "1,5", "1,5"}, {IDC_FILENAME, "set 1", "set 1"}};
    for (auto& c : cases) {
      w.Edit(c.id)->clear();
      QTest::keyClicks(w.Edit(c.id), c.typed);
      QCOMPARE(w.Edit(c.id)->text(), QString(c.shown));
    }
  }

  void userEditsNotifyProgramWritesDoNot() {
    RecordingDlg dlg;
    QtFormWindow w(dlg);
    dlg.got.clear();
    w.host.SetItemText(1017, "42");
    w.host.SetItemText(IDC_TOTAL, "7");
    QCOMPARE(dlg.Count(Msg::Command, 1017, Notify::Change), 0);
    QTest::keyClicks(w.Edit(1017), "1");
    QCOMPARE(dlg.Count(Msg::Command, 1017, Notify::Change), 1);
    QCOMPARE(w.Edit(IDC_TOTAL)->alignment() & Qt::AlignRight, Qt::AlignRight);
  }

  void enterPressesSetUnlessAButtonHasTheFocus() {
    RecordingDlg dlg;
    QtFormWindow w(dlg);
    for (int id : {1000, IDC_ROW, IDC_TOTAL, IDC_FILENAME}) {
      dlg.got.clear();
      w.host.Item(id)->setFocus();
      QTest::keyClick(w.host.Item(id), Qt::Key_Return);
      QCOMPARE(dlg.Count(Msg::Command, IDC_SET, Notify::Clicked), 1);
    }
    dlg.got.clear();
    w.host.Item(IDC_OPEN)->setFocus();
    QTest::keyClick(w.host.Item(IDC_OPEN), Qt::Key_Return);
    QCOMPARE(dlg.Count(Msg::Command, IDC_OPEN, Notify::Clicked), 1);
    QCOMPARE(dlg.Count(Msg::Command, IDC_SET, Notify::Clicked), 0);
  }

  void tabOrderFollowsTheTemplateAndWraps() {
    RecordingDlg dlg;
    QtFormWindow w(dlg);
    QVERIFY(w.active);
    struct {
      int from, to;
    } cases[] = {{1103, 1001},    {1000, 1015},         {1018, 3},
                 {1138, IDC_ROW}, {IDC_DELAY, IDC_SET}, {IDC_FILENAME, 1000}};
    for (auto& c : cases) {
      w.host.Item(c.from)->setFocus();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), w.host.Item(c.to));
    }
  }

  void pressesOnLabelsReachTheFormPressesOnCellsDoNot() {
    RecordingDlg dlg;
    QtFormWindow w(dlg);
    dlg.got.clear();
    QWidget* label17 = w.host.Item(1054);
    QTest::mouseClick(label17, Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(dlg.Count(Msg::LButtonDown), 1);
    QPoint client = label17->mapTo(&w.host, QPoint(2, 2));
    QCOMPARE(dlg.got.back().point.x, client.x());
    QTest::mouseClick(w.host.Item(1000), Qt::LeftButton);
    QTest::mouseClick(w.host.Item(IDC_COPY_ROW), Qt::LeftButton);
    QCOMPARE(dlg.Count(Msg::LButtonDown), 1);
    QCOMPARE(dlg.Count(Msg::Command, IDC_COPY_ROW, Notify::Clicked), 1);
  }

  void rowPickOnTheRealForm() {
    loreth::RecordingPort port;
    CSegmentDlg dlg(port);
    QtFormWindow w(dlg);
    QTest::mouseClick(w.host.Item(1054), Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(w.Edit(IDC_ROW)->text(), QString("17"));
    QTest::mouseClick(&w.host, Qt::LeftButton, {}, QPoint(390, 395));  // background
    QCOMPARE(w.Edit(IDC_ROW)->text(), QString("17"));
  }

  void geometryFollowsDialogUnits() {
    RecordingDlg dlg;
    QtFormWindow w(dlg);
    BaseUnits u = w.host.Units();
    QFont font = w.host.font();
    QCOMPARE(u.cx, ComputeBaseUnits(font).cx);
    // Every control stands where its dialog units put it.
    for (const ControlTemplate& c : FindDialogTemplate(IDD_SEGMENT_DIALOG)->controls) {
      if (c.id == -1 || c.kind == ControlKind::Static) continue;
      QCOMPARE(w.host.Item(c.id)->geometry(), DialogUnitsToPixels(c.x, c.y, c.cx, c.cy, u));
    }
    QCOMPARE(w.host.size(), DialogUnitsToPixels(0, 0, 265, 248, u).size());
    // With Windows' base units the conversion is Windows' own: 265 x 248 -> 398 x 403.
    QCOMPARE(DialogUnitsToPixels(0, 0, 265, 248, BaseUnits{6, 13}).size(), QSize(398, 403));
    QCOMPARE(DialogUnitsToPixels(7, 191, 11, 8, BaseUnits{6, 13}),
             QRect(11, 310, 17, 13));  // MulDiv rounds half away from zero
  }

  void saveAndOpenThroughTheRealDialogs();

  void closeBoxAndEscAskWhileModified() {
    loreth::RecordingPort port;
    CSegmentDlg dlg(port);
    CWinApp app;
    app.m_pMainWnd = &dlg;
    QtFormWindow w(dlg);
    QTest::keyClicks(w.Edit(1000), "7");
    for (bool esc : {false, true}) {
      QString asked;
      WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        asked = box->text();
        QTest::keyClick(box, Qt::Key_Escape);  // a Yes/No box ignores Esc
        QVERIFY(box->isVisible());
        box->button(QMessageBox::No)->click();
      });
      if (esc)
        QTest::keyClick(w.Edit(1000), Qt::Key_Escape);
      else
        w.host.close();
      QCOMPARE(asked, QString("Quit without saving?"));
      QVERIFY(w.host.isVisible());
      QCOMPARE(w.Edit(1000)->text(), QString("7"));
    }
    WhenModal([&](QWidget* modal) {
      qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click();
    });
    w.host.close();
    QVERIFY(!w.host.isVisible());
    QCOMPARE(w.host.result(), int(IDCANCEL));
  }

  void windowMenuHoldsCloseAndAbout() {
    loreth::RecordingPort port;
    CSegmentDlg dlg(port);
    QtFormWindow w(dlg);
    QStringList items;
    for (QAction* a : w.host.WindowMenu()->actions()) items << (a->isSeparator() ? "-" : a->text());
    QCOMPARE(items, (QStringList{"Close", "-", "&About Loreth..."}));
    QCOMPARE(qobject_cast<QPushButton*>(w.host.Item(IDC_SET))->isDefault(), true);
    QCOMPARE(w.host.windowTitle(), QString("Loreth"));
    QTest::keyClicks(w.Edit(1000), "3");
    QCOMPARE(w.host.windowTitle(), QString("Loreth *"));
  }
};

void QtBackendTest::saveAndOpenThroughTheRealDialogs() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  loreth::RecordingPort port;
  CSegmentDlg dlg(port);
  CWinApp app;
  app.m_pMainWnd = &dlg;
  QtFormWindow w(dlg);
  QTest::keyClicks(w.Edit(1000), "1");
  QTest::keyClicks(w.Edit(1015), "5");
  // A name typed without an extension gets ".txt".
  WhenModal([&](QWidget* modal) {
    auto* fd = qobject_cast<QFileDialog*>(modal);
    QVERIFY(fd);
    QCOMPARE(fd->nameFilters(), QStringList{".txt files(*.txt)"});
    fd->selectFile(dir.filePath("set1"));
    static_cast<QDialog*>(fd)->accept();
  });
  QTest::mouseClick(w.host.Item(IDC_SAVE), Qt::LeftButton);
  QFileInfo saved(dir.filePath("set1.txt"));
  QVERIFY(saved.exists());
  QCOMPARE(saved.size(), 408);
  QCOMPARE(w.Edit(IDC_FILENAME)->text(), QString("set1"));
  QCOMPARE(w.host.windowTitle(), QString("Loreth"));

  QTest::keyClicks(w.Edit(1016), "9");
  QCOMPARE(w.host.windowTitle(), QString("Loreth *"));
  WhenModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    QVERIFY(box);
    QCOMPARE(box->text(), QString("Close without saving?"));
    QCOMPARE(box->windowTitle(), QString("qt_backend_test"));  // the executable's name
    WhenModal([&](QWidget* next) {
      auto* fd = qobject_cast<QFileDialog*>(next);
      QVERIFY(fd);
      fd->selectFile(dir.filePath("set1.txt"));
      static_cast<QDialog*>(fd)->accept();
    });
    box->button(QMessageBox::Yes)->click();
  });
  QTest::mouseClick(w.host.Item(IDC_OPEN), Qt::LeftButton);
  QCOMPARE(w.Edit(1016)->text(), QString(""));
  QCOMPARE(w.Edit(1000)->text(), QString("1"));
  QCOMPARE(w.Edit(1015)->text(), QString("5"));
  QCOMPARE(w.host.windowTitle(), QString("Loreth"));
}

QTEST_MAIN(QtBackendTest)
#include "qt_backend_test.moc"
