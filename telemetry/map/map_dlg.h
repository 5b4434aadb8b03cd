#pragma once
// The map window: a web view showing the map page, docked into a rectangle of
// its parent window or floating on its own ("Map Mode", 600 x 420). It keeps
// the values of MapBridge and writes them into the page; the page draws the
// track. Everything runs on the user-interface thread.
#include <QFrame>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QUrl>
#include <functional>
#include <string>
#include <string_view>

#include "telemetry/map/map_bridge.h"

class QWebEngineView;
class QWebEnginePage;

class CMapDlg : public QFrame {
  Q_OBJECT
public:
  // Call before the application object exists: the browser shares OpenGL
  // contexts with the windows, and a root process runs it without its sandbox
  // (the browser refuses to start as root otherwise).
  static void PrepareApplication();

  // Takes its pages, settings and default position from options; creates no
  // browser yet (see CreateBrowser). dockParent is the window the map docks
  // into.
  explicit CMapDlg(MapOptions options, QWidget* dockParent = nullptr);
  ~CMapDlg() override;

  // Creates the browser and starts loading the page, docked into the dock
  // rectangle; does nothing the second time. It holds the user-interface
  // thread for a few tenths of a second, so the owner calls it when that
  // delays no picture (a little after its first picture). In a window that is
  // already shown it turns on OpenGL composition, which makes Qt recreate the
  // native window unless the window holds an OpenGL widget from the start. A
  // window shown without a browser creates it 2 s later.
  void CreateBrowser();
  bool BrowserCreated() const { return view_ != nullptr; }

  // Hands one telemetry text to the map. Returns false when it holds no
  // accepted fix. A fix for another track index is stored but not sent.
  bool UpdatePosition(int index, std::string_view text);
  // Starts a new track with a new index (nothing happens for the current one).
  void ClearTrack(int index);
  // The centre the page starts on.
  void SetDefaultPosition(double latitude, double longitude);

  // Docking: the rectangle (in the dock parent's coordinates) the map takes
  // while docked; it moves there at once when docked.
  void SetDockRect(int x, int y, int width, int height, bool repaint = true);
  QRect DockRect() const { return dockRect_; }
  void SetDockParent(QWidget* parent);
  // Into the dock parent at the dock rectangle; keeps the window shown or hidden.
  void Dock();
  // A free window of 600 x 420, centred on the screen; keeps it shown or hidden.
  void Undock();
  bool IsUndocked() const { return undocked_; }

  // Calls a function of the page without arguments. Returns 1 when the call
  // was issued, 0 when it was skipped (no page loaded yet, or loading again).
  // Its outcome comes later through scriptDone; a failing function shows one
  // message per page load.
  int CallScript(std::string_view name);

  // The values the play control panel shows.
  const MapBridge& Values() const { return bridge_; }
  // True once the page has loaded (and until it loads again).
  bool PageReady() const { return pageReady_; }
  QUrl PageUrl() const { return pageUrl_; }
  QWebEnginePage* Page() const;
  int SilentFailures() const { return bridge_.SilentFailures(); }

  // Where failure messages go; a message box unless tests replace it.
  using MessageSink = std::function<void(const QString& text)>;
  void SetMessageSink(MessageSink sink) { messageSink_ = std::move(sink); }

  // The address of the built-in page.
  static QUrl BuiltInPageUrl();

signals:
  // A page function called through CallScript has finished.
  void scriptDone(const QString& name, int outcome); // a ScriptOutcome
  // The page has loaded and its "setMap" was called.
  void pageLoaded(bool ok);

protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  void OnLoadStarted();
  void OnLoadFinished(bool ok);
  void RunScript(const std::string& script);
  void RefuseDrops();
  void ShowMessage(const QString& text);

  MapBridge bridge_;
  QPointer<QWidget> dockParent_;
  QWebEngineView* view_ = nullptr;
  QRect dockRect_;
  QUrl pageUrl_;
  bool undocked_ = false;
  bool ready_ = false;
  bool pageReady_ = false;
  bool ownLoadPending_ = false;
  bool browserScheduled_ = false;
  MessageSink messageSink_;
};
