#include "platform/WebPanel.h"

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

}  // namespace

WebPanel::WebPanel(QWidget* parent) : QWidget(parent), view_(new QWebEngineView(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->addWidget(view_);
  // An off-the-record profile: the panel keeps no cookies or cache on disk.
  // Owned by the panel, so it outlives the view's page.
  auto* page = new PanelPage(new QWebEngineProfile(this), view_);
  page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  view_->setPage(page);
  view_->setContextMenuPolicy(Qt::NoContextMenu);
  view_->setZoomFactor(0.8);  // the directory pages are laid out for a full window

  connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
    // HTTP error answers count as failures too; the text page itself never does.
    if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus && !location_.starts_with("about:")) {
      emit NavigateError();
    }
  });
  connect(page, &QWebEnginePage::loadFinished, this, [this](bool) {
    view_->page()->toPlainText([this](const QString& text) {
      shownText_ = text;
      emit pageLoaded();
    });
  });
}

void WebPanel::Navigate(const std::string& address) {
  location_ = address;
  const QString text = QString::fromStdString(address);
  if (text.startsWith("about:")) {
    const QString body = text.mid(6);
    view_->setHtml("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head>"
                   "<body style=\"font-family:sans-serif;margin:1em;color:#222\">" +
                   Escaped(body) + "</body></html>");
    return;
  }
  view_->load(QUrl(text));
}

}  // namespace vandrel
