#include "telemetry/map/map_dlg.h"

#include <unistd.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <cstdlib>
#include <utility>

namespace {

constexpr int kFloatingWidth = 600;
constexpr int kFloatingHeight = 420;
// A window shown without its browser creates it this long after.
constexpr int kLateBrowserMs = 2000;

// The page of the map: it only ever shows the page the window loaded (a file
// dropped on it, a link or a script cannot take it elsewhere), and the page's
// script errors, alerts and console output never reach the user.
class MapPage : public QWebEnginePage {
public:
  using QWebEnginePage::QWebEnginePage;
  // Lets the next navigation of the page through: the window's own load.
  void AllowNextLoad() { allowNext_ = true; }

protected:
  bool acceptNavigationRequest(const QUrl&, NavigationType, bool isMainFrame) override {
    if (!isMainFrame) return true;
    const bool allow = allowNext_;
    allowNext_ = false;
    return allow;
  }
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}
  void javaScriptAlert(const QUrl&, const QString&) override {}
  bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
  bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }

private:
  bool allowNext_ = false;
};

// The built-in page is a file:// document for the browser, so that it may load
// Leaflet from where the system installs it.
const QUrl kBuiltInBase(QStringLiteral("file:///usr/share/javascript/leaflet/velmora_map.htm"));

} // namespace

void CMapDlg::PrepareApplication() {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  // The browser's start-up report is for its developers, not our users.
  QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
  if (::geteuid() == 0 && !std::getenv("QTWEBENGINE_DISABLE_SANDBOX")) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
}

QUrl CMapDlg::BuiltInPageUrl() { return QUrl(QStringLiteral("qrc:/map/builtin_map.htm")); }

CMapDlg::CMapDlg(MapOptions options, QWidget* dockParent)
    : QFrame(dockParent), bridge_(std::move(options)), dockParent_(dockParent) {
  setWindowTitle(QStringLiteral("Map Mode"));
  // Floating, it is not a window whose closing should end the program.
  setAttribute(Qt::WA_QuitOnClose, false);
  setFrameShape(QFrame::Box);
  setLineWidth(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  hide();
}

CMapDlg::~CMapDlg() = default;

QWebEnginePage* CMapDlg::Page() const { return view_ ? view_->page() : nullptr; }

void CMapDlg::CreateBrowser() {
  if (view_) return;
  view_ = new QWebEngineView(this);
  view_->setContextMenuPolicy(Qt::NoContextMenu);
  auto* page = new MapPage(view_);
  page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
  page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
  page->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
  view_->setPage(page);
  layout()->addWidget(view_);
  // Files dropped on the map are for the main window, not for the browser.
  RefuseDrops();
  connect(view_, &QWebEngineView::loadStarted, this, &CMapDlg::OnLoadStarted);
  connect(view_, &QWebEngineView::loadFinished, this, &CMapDlg::OnLoadFinished);

  const MapPageChoice choice = bridge_.ChoosePage();
  pageUrl_ = choice.BuiltIn() ? BuiltInPageUrl() : QUrl::fromLocalFile(QString::fromStdString(choice.path));
  page->AllowNextLoad();
  ownLoadPending_ = true;
  if (choice.BuiltIn()) {
    QFile file(QStringLiteral(":/map/builtin_map.htm"));
    file.open(QIODevice::ReadOnly);
    view_->setHtml(QString::fromUtf8(file.readAll()), kBuiltInBase);
  } else {
    view_->load(pageUrl_);
  }

  if (dockParent_) setWindowIcon(dockParent_->window()->windowIcon());
  Dock();
  ready_ = true;
}

// Only the window's own loads count: any other navigation is refused by the
// page, though the view still reports its start and end.
void CMapDlg::OnLoadStarted() {
  if (!ownLoadPending_) return;
  pageReady_ = false;
  bridge_.PageLoadStarted();
}

void CMapDlg::OnLoadFinished(bool ok) {
  if (!ownLoadPending_) return;
  ownLoadPending_ = false;
  RefuseDrops();
  pageReady_ = true;
  RunScript(bridge_.PushScript());
  RunScript(bridge_.PageSettingsScript());
  CallScript("setMap");
  emit pageLoaded(ok);
}

void CMapDlg::RefuseDrops() {
  if (!view_) return;
  view_->setAcceptDrops(false);
  for (QWidget* child : view_->findChildren<QWidget*>()) child->setAcceptDrops(false);
}

void CMapDlg::RunScript(const std::string& script) {
  if (!view_ || !pageReady_) return;
  view_->page()->runJavaScript(QString::fromStdString(script));
}

int CMapDlg::CallScript(std::string_view name) {
  if (!ready_ || !pageReady_ || !view_) return 0;
  const QString qname = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  QPointer<CMapDlg> self(this);
  view_->page()->runJavaScript(QString::fromStdString(MapBridge::CallScriptSource(name)),
                               [self, qname](const QVariant& result) {
                                 // No string: the page went away before the call ran.
                                 if (!self || result.typeId() != QMetaType::QString) return;
                                 std::string message;
                                 const ScriptOutcome outcome =
                                     MapBridge::ReadCallResult(result.toString().toStdString(), &message);
                                 if (outcome == ScriptOutcome::Failed && self->bridge_.ReportFailure())
                                   self->ShowMessage(qname + QStringLiteral(": ") + QString::fromStdString(message));
                                 emit self->scriptDone(qname, static_cast<int>(outcome));
                               });
  return 1;
}

void CMapDlg::ShowMessage(const QString& text) {
  if (messageSink_) {
    messageSink_(text);
    return;
  }
  auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, window());
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(true);
  box->show();
}

bool CMapDlg::UpdatePosition(int index, std::string_view text) {
  switch (bridge_.UpdatePosition(index, text)) {
  case MapBridge::Update::Rejected: return false;
  case MapBridge::Update::Stored: return true;
  case MapBridge::Update::Send: break;
  }
  RunScript(bridge_.PushScript());
  return CallScript("refreshMap") == 1;
}

void CMapDlg::ClearTrack(int index) {
  std::string push;
  if (bridge_.ClearTrack(index, push)) RunScript(push);
}

void CMapDlg::SetDefaultPosition(double latitude, double longitude) { bridge_.SetDefaultPosition(latitude, longitude); }

void CMapDlg::SetDockParent(QWidget* parent) {
  dockParent_ = parent;
  if (!undocked_) Dock();
}

void CMapDlg::SetDockRect(int x, int y, int width, int height, bool repaint) {
  dockRect_ = QRect(x, y, width, height);
  if (undocked_) return;
  setGeometry(dockRect_);
  if (repaint) update();
}

void CMapDlg::Dock() {
  const bool shown = !isHidden();
  undocked_ = false;
  if (dockParent_ && (parentWidget() != dockParent_ || isWindow())) setParent(dockParent_, Qt::Widget);
  setFrameShape(QFrame::Box);
  setGeometry(dockRect_);
  setVisible(shown);
  RefuseDrops();
}

void CMapDlg::Undock() {
  const bool shown = !isHidden();
  undocked_ = true;
  setParent(nullptr, Qt::Window);
  setFrameShape(QFrame::NoFrame);
  setWindowTitle(QStringLiteral("Map Mode"));
  resize(kFloatingWidth, kFloatingHeight);
  QScreen* screen = dockParent_ ? dockParent_->screen() : QGuiApplication::primaryScreen();
  if (screen) {
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(kFloatingWidth / 2, kFloatingHeight / 2));
  }
  setVisible(shown);
  RefuseDrops();
}

void CMapDlg::closeEvent(QCloseEvent* event) {
  // The window lives as long as its owner: closing the floating map docks it.
  event->ignore();
  if (undocked_) Dock();
}

void CMapDlg::showEvent(QShowEvent* event) {
  QFrame::showEvent(event);
  // Creating the browser holds this thread for a few tenths of a second: not
  // while the owner shows its first picture. It should call CreateBrowser
  // once that is on screen; this is the fallback.
  if (!view_ && !browserScheduled_) {
    browserScheduled_ = true;
    QTimer::singleShot(kLateBrowserMs, this, &CMapDlg::CreateBrowser);
  }
}
