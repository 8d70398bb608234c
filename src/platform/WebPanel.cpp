#include "platform/WebPanel.h"

#include <QHideEvent>
#include <QVBoxLayout>

#include "platform/HtmlView.h"

namespace vandrel {

namespace {

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

void WebPanel::setAnswerTimeout(int ms) {
  answerDeadline_.setInterval(ms);
  if (answerDeadline_.isActive()) answerDeadline_.start();  // a load under way waits as long
}

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
  view_ = new HtmlView(this);
  layout()->addWidget(view_);
  connect(view_, &HtmlView::loadStarted, this, [this] { answerDeadline_.start(); });
  connect(view_, &HtmlView::urlChanged, this, [this](const QUrl& url) {
    if (!url.isEmpty()) shown_ = url.toString().toStdString();
  });
  connect(view_, &HtmlView::loadFinished, this, [this](bool ok) {
    // HTTP error answers count as failures too.
    if (!ok) return Failed();
    answerDeadline_.stop();
    shownText_ = view_->plainText();
    emit pageLoaded();
  });
  view_->show();
  emit viewCreated();
  const std::string next = pending_.empty() ? shown_ : pending_;
  pending_.clear();
  if (!next.empty()) Load(next);
}

void WebPanel::ReleaseEngine() {
  answerDeadline_.stop();
  if (view_ == nullptr) return;
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
  if (!IsTextPage(address)) {
    view_->load(QUrl(QString::fromStdString(address)));
    return;
  }
  answerDeadline_.stop();
  const QString text = QString::fromStdString(address).mid(6);
  view_->setHtml("<html><body style=\"font-family:sans-serif;margin:1em\">" +
                 text.toHtmlEscaped().replace("\n", "<br>") + "</body></html>");
  shownText_ = view_->plainText();
  emit pageLoaded();
}

void WebPanel::Failed() {
  answerDeadline_.stop();
  emit NavigateError();
}

}  // namespace vandrel
