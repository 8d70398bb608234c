#include "platform/WebPanel.h"

#include <QHideEvent>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace vandrel {

namespace {

// Pages in the panel may lead to other web pages only; a link to a local
// file or another program's scheme goes nowhere. Links meant for a new
// window open in the panel itself.
class PanelPage : public QWebEnginePage {
 public:
  using QWebEnginePage::QWebEnginePage;

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
    const QString scheme = url.scheme();
    if (scheme == "http" || scheme == "https" || scheme == "data" || url.toString() == "about:blank") {
      return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }
    return false;
  }

  QWebEnginePage* createWindow(WebWindowType) override { return this; }
};

QString Escaped(const QString& text) { return text.toHtmlEscaped().replace("\n", "<br>"); }

bool IsTextPage(const std::string& address) { return address.starts_with("about:"); }

}  // namespace

WebPanel::WebPanel(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  answerDeadline_.setSingleShot(true);
  answerDeadline_.setInterval(kAnswerTimeoutMs);
  connect(&answerDeadline_, &QTimer::timeout, this, [this] {
    if (view_ != nullptr) view_->stop();
    Failed();
  });
}

WebPanel::~WebPanel() { ReleaseEngine(); }

void WebPanel::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  // Built after the window's first paint, so the window shows at once.
  if (view_ == nullptr && !creating_) {
    creating_ = true;
    QTimer::singleShot(0, this, &WebPanel::CreateEngine);
  }
}

void WebPanel::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  // A minimised window stays visible and keeps its page.
  QTimer::singleShot(0, this, [this] {
    if (!window()->isVisible()) ReleaseEngine();
  });
}

void WebPanel::CreateEngine() {
  creating_ = false;
  if (view_ != nullptr || !window()->isVisible()) return;
  view_ = new QWebEngineView(this);
  layout()->addWidget(view_);
  // An off-the-record profile: the panel keeps no cookies or cache on disk.
  auto* page = new PanelPage(new QWebEngineProfile(view_), view_);
  page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  view_->setPage(page);
  view_->setContextMenuPolicy(Qt::NoContextMenu);
  view_->setZoomFactor(0.8);  // the directory pages are laid out for a full window

  connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
    // HTTP error answers count as failures too; the text page itself never does.
    if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus && !IsTextPage(shown_)) Failed();
  });
  connect(page, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) {
    if (!IsTextPage(shown_) && url.scheme() != "data") shown_ = url.toString().toStdString();
  });
  connect(page, &QWebEnginePage::loadFinished, this, [this](bool) {
    answerDeadline_.stop();
    view_->page()->toPlainText([this](const QString& text) {
      shownText_ = text;
      emit pageLoaded();
    });
  });
  view_->show();
  const std::string next = pending_.empty() ? shown_ : pending_;
  pending_.clear();
  if (!next.empty()) Load(next);
}

void WebPanel::ReleaseEngine() {
  answerDeadline_.stop();
  if (view_ == nullptr) return;
  QWebEnginePage* page = view_->page();
  QWebEngineProfile* profile = page->profile();
  // The page goes before its profile.
  delete page;
  delete profile;
  delete view_;
  view_ = nullptr;
  shownText_.clear();
}

void WebPanel::Navigate(const std::string& address) {
  location_ = address;
  if (view_ == nullptr) {
    pending_ = address;
    return;
  }
  Load(address);
}

void WebPanel::Load(const std::string& address) {
  shown_ = address;
  const QString text = QString::fromStdString(address);
  if (IsTextPage(address)) {
    answerDeadline_.stop();
    view_->setHtml("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head>"
                   "<body style=\"font-family:sans-serif;margin:1em;color:#222\">" +
                   Escaped(text.mid(6)) + "</body></html>");
    return;
  }
  answerDeadline_.start();
  view_->load(QUrl(text));
}

void WebPanel::Failed() {
  answerDeadline_.stop();
  emit NavigateError();
}

}  // namespace vandrel
