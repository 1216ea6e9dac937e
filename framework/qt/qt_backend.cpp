#include "framework/qt/qt_backend.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTimerEvent>
#include <cmath>

namespace {

// MulDiv(v, num, den), rounding half away from zero.
int MulDiv(int v, int num, int den) {
  long long p = static_cast<long long>(v) * num;
  long long q = (std::llabs(p) * 2 + den) / (2LL * den);
  return static_cast<int>(p < 0 ? -q : q);
}

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 32, 48}) icon.addFile(QString(":/icons/icon%1.png").arg(size));
  return icon;
}

// Control text as the toolkit shows it: "&" marks an access key in both.
QString ControlText(const char* utf8) {
  return QString::fromUtf8(utf8);
}

// Eats Esc, which a Windows Yes/No box ignores.
class EatEscape : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject*, QEvent* e) override {
    return e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape;
  }
};

}  // namespace

QString ToQString(const CString& s) {
  return QString(reinterpret_cast<const QChar*>(s.c_str()), s.GetLength());
}

CString FromQString(const QString& s) {
  return CString(std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), s.size()));
}

BaseUnits ComputeBaseUnits(const QFont& font) {
  QFontMetrics fm(font);
  int ext = fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return {(ext / 26 + 1) / 2, fm.height()};
}

QRect DialogUnitsToPixels(int x, int y, int cx, int cy, BaseUnits u) {
  return QRect(MulDiv(x, u.cx, 4), MulDiv(y, u.cy, 8), MulDiv(cx, u.cx, 4), MulDiv(cy, u.cy, 8));
}

QFont DialogFont(const DialogTemplate& t) {
  QString family = QString::fromUtf8(t.fontName);
  // "MS Sans Serif" is rarely installed here; DejaVu Sans Condensed has the same
  // base units (6 x 13 at 8 pt), so the form keeps its Windows proportions.
  if (!QFontDatabase::hasFamily(family)) QFont::insertSubstitution(family, "DejaVu Sans Condensed");
  QFont font(family);
  font.setPointSize(t.fontPoints);
  return font;
}

int ShowQtMessageBox(QWidget* owner, const CString& text, const CString& caption, UINT type) {
  QMessageBox box(owner);
  box.setWindowTitle(ToQString(caption));
  box.setText(ToQString(text));
  switch (type & 0xF0u) {
    case MB_ICONSTOP:
      box.setIcon(QMessageBox::Critical);
      break;
    case MB_ICONEXCLAMATION:
      box.setIcon(QMessageBox::Warning);
      break;
    default:
      break;
  }
  EatEscape eatEscape;
  if ((type & 0xFu) == MB_YESNO) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.installEventFilter(&eatEscape);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  if (type & MB_SETFOREGROUND) {
    box.show();
    box.raise();
    box.activateWindow();
  }
  int answer = box.exec();
  if ((type & 0xFu) == MB_YESNO) return answer == QMessageBox::Yes ? IDYES : IDNO;
  return IDOK;
}

// ---- host ----

QtHost::QtHost(CDialog& dlg, const DialogTemplate& t, QWidget* parent)
    : QDialog(parent), m_dlg(dlg) {
  setWindowTitle(QString::fromUtf8(t.caption));
  setFont(DialogFont(t));
  m_units = ComputeBaseUnits(font());
  setFixedSize(DialogUnitsToPixels(0, 0, t.cx, t.cy, m_units).size());
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  if (t.style & style::SysMenu) {
    // Linux has no system menu a program can extend: the form has its own window
    // menu, opened with Alt+Space or a right-click on the form's background.
    m_windowMenu = new QMenu(this);
    m_windowMenu->addAction("Close", this, [this] { SysCommand(SC_CLOSE_COMMAND); });
    auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(shortcut, &QShortcut::activated, this,
            [this] { ShowWindowMenu(mapToGlobal(QPoint(0, 0))); });
  }
  BuildControls(t);
}

QtHost::~QtHost() {
  m_dlg.Attach(nullptr);
}

void QtHost::BuildControls(const DialogTemplate& t) {
  for (const ControlTemplate& c : t.controls) {
    QWidget* w = nullptr;
    QRect r = DialogUnitsToPixels(c.x, c.y, c.cx, c.cy, m_units);
    switch (c.kind) {
      case ControlKind::Static: {
        auto* label = new QLabel(ControlText(c.text), this);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (c.style & style::SsNoPrefix) label->setTextInteractionFlags(Qt::NoTextInteraction);
        // Text a little wider than its box (this font runs a few pixels wider
        // than Windows' here and there) is shown whole rather than clipped.
        r.setWidth(std::max(r.width(), label->sizeHint().width()));
        w = label;
        break;
      }
      case ControlKind::Icon: {
        auto* label = new QLabel(this);
        label->setPixmap(AppIcon().pixmap(32, 32));
        r.setSize(QSize(32, 32));  // an icon control takes the icon's size
        w = label;
        break;
      }
      case ControlKind::Edit: {
        auto* edit = new QLineEdit(this);
        bool right = (c.style & style::EsRight) || (c.exStyle & style::ExRight);
        edit->setAlignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        edit->setFrame(c.style & style::Border);
        edit->setMaxLength(32767);
        edit->setFocusPolicy((c.style & style::TabStop) ? Qt::StrongFocus : Qt::ClickFocus);
        if (c.style & style::EsNumber) edit->installEventFilter(this);
        int id = c.id;
        connect(edit, &QLineEdit::textEdited, this, [this, id, edit] { UserEdited(id, edit); });
        w = edit;
        break;
      }
      case ControlKind::Button: {
        auto* button = new QPushButton(ControlText(c.text), this);
        bool isDefault = (c.style & 0xFu) == style::BsDefPushButton;
        button->setAutoDefault(true);
        button->setDefault(isDefault);
        button->setFocusPolicy((c.style & style::TabStop) ? Qt::StrongFocus : Qt::NoFocus);
        int id = c.id;
        connect(button, &QPushButton::clicked, this,
                [this, id] { Send(CommandMessage(id, Notify::Clicked)); });
        w = button;
        break;
      }
    }
    w->setGeometry(r);
    if (c.id != -1) {
      w->setObjectName(QString("id%1").arg(c.id));
      m_items.insert(c.id, w);
    }
  }
}

void QtHost::Send(const Message& m) {
  if (!m_ended) m_dlg.HandleMessage(m);
}

void QtHost::SysCommand(UINT command) {
  if (m_ended) return;
  if (!m_dlg.HandleMessage(SimpleMessage(Msg::SysCommand, command)) &&
      (command & 0xFFF0u) == SC_CLOSE_COMMAND)
    Send(SimpleMessage(Msg::Close));
}

void QtHost::ShowWindowMenu(const QPoint& globalPos) {
  if (m_windowMenu) m_windowMenu->popup(globalPos);
}

void QtHost::UserEdited(int id, QLineEdit* edit) {
  // The input limit follows the exchange's limit, but never below the text a
  // program wrote: the user can still delete from a longer text.
  int limit = m_limits.value(id, 32767);
  int cursor = edit->cursorPosition();
  edit->setMaxLength(std::max(limit, static_cast<int>(edit->text().size())));
  edit->setCursorPosition(cursor);
  Send(CommandMessage(id, Notify::Change));
}

bool QtHost::eventFilter(QObject* watched, QEvent* e) {
  // Digits-only fields refuse other typed characters (pasting is not filtered).
  if (e->type() == QEvent::KeyPress && qobject_cast<QLineEdit*>(watched)) {
    auto* key = static_cast<QKeyEvent*>(e);
    QString text = key->text();
    if (!text.isEmpty() && text[0].isPrint() && !(key->modifiers() & Qt::ControlModifier)) {
      for (QChar ch : text)
        if (ch < '0' || ch > '9') return true;
    }
  }
  return QDialog::eventFilter(watched, e);
}

void QtHost::reject() {
  // Esc: the cancel command.
  Send(CommandMessage(IDCANCEL, Notify::None));
}

void QtHost::closeEvent(QCloseEvent* e) {
  e->ignore();  // the dialog decides, through its close handler
  SysCommand(SC_CLOSE_COMMAND);
}

void QtHost::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) {
    Message m = SimpleMessage(Msg::LButtonDown);
    QPoint p = e->position().toPoint();
    m.point = {p.x(), p.y()};
    m.flags = 0x0001;                                             // MK_LBUTTON
    if (e->modifiers() & Qt::ControlModifier) m.flags |= 0x0008;  // MK_CONTROL
    if (e->modifiers() & Qt::ShiftModifier) m.flags |= 0x0004;    // MK_SHIFT
    Send(m);
  }
  QDialog::mousePressEvent(e);
}

// A right-click on the form's background or its static texts, or the menu key
// (Shift+F10): the window menu, for desktops whose window manager keeps
// Alt+Space for its own.
void QtHost::contextMenuEvent(QContextMenuEvent* e) {
  if (e->reason() == QContextMenuEvent::Mouse)
    ShowWindowMenu(e->globalPos());
  else
    ShowWindowMenu(mapToGlobal(QPoint(0, 0)));
}

void QtHost::timerEvent(QTimerEvent* e) {
  for (auto it = m_timers.cbegin(); it != m_timers.cend(); ++it) {
    if (it.value() == e->timerId()) {
      Send(SimpleMessage(Msg::Timer, it.key()));
      return;
    }
  }
  QDialog::timerEvent(e);
}

void QtHost::SetTitle(const CString& text) {
  setWindowTitle(ToQString(text));
}

CString QtHost::GetItemText(int id) {
  QWidget* w = Item(id);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return FromQString(edit->text());
  if (auto* button = qobject_cast<QPushButton*>(w)) return FromQString(button->text());
  if (auto* label = qobject_cast<QLabel*>(w)) return FromQString(label->text());
  return CString();
}

void QtHost::SetItemText(int id, const CString& text) {
  QWidget* w = Item(id);
  QString q = ToQString(text);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    // setText cuts to maxLength: a program's write is shown whole.
    edit->setMaxLength(std::max(m_limits.value(id, 32767), static_cast<int>(q.size())));
    edit->setText(q);
  } else if (auto* button = qobject_cast<QPushButton*>(w)) {
    button->setText(q);
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(q);
  }
}

void QtHost::LimitText(int id, int maxChars) {
  if (maxChars <= 0) maxChars = 32767;
  m_limits.insert(id, maxChars);
  if (auto* edit = qobject_cast<QLineEdit*>(Item(id)))
    edit->setMaxLength(std::max(maxChars, static_cast<int>(edit->text().size())));
}

void QtHost::FocusAndSelectAll(int id) {
  QWidget* w = Item(id);
  if (!w) return;
  w->setFocus(Qt::OtherFocusReason);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->selectAll();
}

int QtHost::MessageBox(const CString& text, const CString& caption, UINT type) {
  return ShowQtMessageBox(this, text, caption, type);
}

void QtHost::SetTimer(uintptr_t id, UINT elapseMs) {
  KillTimer(id);
  m_timers.insert(id, startTimer(static_cast<int>(elapseMs), Qt::PreciseTimer));
}

void QtHost::KillTimer(uintptr_t id) {
  auto it = m_timers.find(id);
  if (it == m_timers.end()) return;
  killTimer(it.value());
  m_timers.erase(it);
}

bool QtHost::GetItemScreenRect(int id, CRect& rect) {
  QWidget* w = Item(id);
  if (!w) return false;
  QPoint tl = w->mapToGlobal(QPoint(0, 0));
  rect = {tl.x(), tl.y(), tl.x() + w->width(), tl.y() + w->height()};
  return true;
}

CPoint QtHost::ClientToScreen(CPoint p) {
  QPoint g = mapToGlobal(QPoint(p.x, p.y));
  return {g.x(), g.y()};
}

void QtHost::EndDialog(int result) {
  m_ended = true;
  for (int timer : m_timers) killTimer(timer);
  m_timers.clear();
  done(result);
}

// One QIcon holds every size, the small one included: set it once, with the big.
void QtHost::SetIcon(IconHandle, bool big) {
  if (big) setWindowIcon(AppIcon());
}

void QtHost::AppendSystemMenuSeparator() {
  if (m_windowMenu) m_windowMenu->addSeparator();
}

void QtHost::AppendSystemMenuItem(UINT command, const CString& text) {
  if (m_windowMenu)
    m_windowMenu->addAction(ToQString(text), this, [this, command] { SysCommand(command); });
}

bool QtHost::RunFileDialog(FileDialogRequest& request) {
  QFileDialog dialog(this);
  dialog.setNameFilter(ToQString(request.filterDescription));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  if (request.open) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    if (!request.defaultExtension.IsEmpty())
      dialog.setDefaultSuffix(ToQString(request.defaultExtension));
    if (!request.proposedName.IsEmpty()) dialog.selectFile(ToQString(request.proposedName));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  request.pathName = FromQString(dialog.selectedFiles().first());
  return true;
}

// ---- backend ----

int QtBackend::RunModal(CDialog& dlg, CDialog* owner) {
  const DialogTemplate* t = FindDialogTemplate(dlg.GetTemplateId());
  if (!t) return -1;
  QWidget* parent = owner ? dynamic_cast<QtHost*>(owner->Host()) : nullptr;
  QtHost host(dlg, *t, parent);
  dlg.Attach(&host);
  if (dlg.OnInitDialog()) {
    // The focus goes to the first tab stop.
    for (const ControlTemplate& c : t->controls) {
      if ((c.style & style::TabStop) && host.Item(c.id)) {
        host.Item(c.id)->setFocus(Qt::OtherFocusReason);
        break;
      }
    }
  }
  int result = host.exec();
  dlg.Attach(nullptr);
  return result;
}

CString QtBackend::ApplicationName() {
  return FromQString(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
}

CString QtBackend::LoadStringResource(UINT id) {
  const char* s = FindStringResource(id);
  return s ? CString(s) : CString();
}

int QtBackend::MessageBox(const CString& text, const CString& caption, UINT type) {
  return ShowQtMessageBox(nullptr, text, caption, type);
}
