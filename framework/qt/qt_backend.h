// The Qt 6 Widgets backend: each dialog template becomes a QDialog whose widgets
// stand where the template puts them, converted from dialog units with the base
// units of the dialog's font, and whose signals and events become the framework's
// messages.
#pragma once

#include <QDialog>
#include <QFont>
#include <QMap>

#include "framework/dialog.h"
#include "framework/dialog_template.h"

class QMenu;
class QLineEdit;

// Base units of a font as Windows computes them: cx = average width of the 52
// letters A-Z a-z, rounded; cy = the font's height.
struct BaseUnits {
  int cx = 6;
  int cy = 13;
};
BaseUnits ComputeBaseUnits(const QFont& font);
// A rectangle in dialog units to pixels: MulDiv(x, cx, 4), MulDiv(y, cy, 8).
QRect DialogUnitsToPixels(int x, int y, int cx, int cy, BaseUnits units);
// The dialog font of a template ("MS Sans Serif" 8 pt, or its stand-in here).
QFont DialogFont(const DialogTemplate& t);

class QtHost : public QDialog, public IWindowHost {
 public:
  QtHost(CDialog& dlg, const DialogTemplate& t, QWidget* parent);
  ~QtHost() override;

  QWidget* Item(int id) const { return m_items.value(id, nullptr); }
  QMenu* WindowMenu() const { return m_windowMenu; }
  BaseUnits Units() const { return m_units; }
  // Opens the window menu (Alt+Space, or a right-click on the form's background).
  void ShowWindowMenu(const QPoint& globalPos);

  // IWindowHost
  void SetTitle(const CString& text) override;
  CString GetItemText(int id) override;
  void SetItemText(int id, const CString& text) override;
  void LimitText(int id, int maxChars) override;
  void FocusAndSelectAll(int id) override;
  int MessageBox(const CString& text, const CString& caption, UINT type) override;
  void SetTimer(uintptr_t id, UINT elapseMs) override;
  void KillTimer(uintptr_t id) override;
  bool GetItemScreenRect(int id, CRect& rect) override;
  CPoint ClientToScreen(CPoint p) override;
  void EndDialog(int result) override;
  bool IsMinimized() override { return isMinimized(); }
  void DrawIconCentered(IconHandle) override {}
  void SetIcon(IconHandle icon, bool big) override;
  bool HasSystemMenu() override { return m_windowMenu != nullptr; }
  void AppendSystemMenuSeparator() override;
  void AppendSystemMenuItem(UINT command, const CString& text) override;
  bool RunFileDialog(FileDialogRequest& request) override;
  uint64_t NativeWindow() override { return static_cast<uint64_t>(winId()); }

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void timerEvent(QTimerEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void Send(const Message& m);
  void SysCommand(UINT command);
  void BuildControls(const DialogTemplate& t);
  void UserEdited(int id, QLineEdit* edit);

  CDialog& m_dlg;
  BaseUnits m_units;
  QMap<int, QWidget*> m_items;
  QMap<int, int> m_limits;        // edit id -> input limit set by the exchange
  QMap<uintptr_t, int> m_timers;  // framework timer id -> Qt timer id
  QMenu* m_windowMenu = nullptr;
  bool m_ended = false;
};

class QtBackend : public IUiBackend {
 public:
  QtBackend() { AfxSetBackend(this); }
  ~QtBackend() override { AfxSetBackend(nullptr); }
  int RunModal(CDialog& dlg, CDialog* owner) override;
  CString ApplicationName() override;
  CString LoadStringResource(UINT id) override;
  int MessageBox(const CString& text, const CString& caption, UINT type) override;
};

// Shared by the hosts and the backend: a message box worded and iconed like the
// Windows one (a Yes/No box ignores Esc).
int ShowQtMessageBox(QWidget* owner, const CString& text, const CString& caption, UINT type);

QString ToQString(const CString& s);
CString FromQString(const QString& s);
