#include "app/job_log.h"

#include <QFile>
#include <QLocale>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringList>
#include <QTemporaryFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

#include "app/display_text.h"
#include "app/ui_texts.h"

namespace corvane {

namespace {

// The control is brought up to date this often while lines arrive.
constexpr int kRefreshMs = 75;
// The newest lines a refresh shows while a job floods the log.
constexpr std::size_t kFloodLines = 500;
// The spool's lines are written out in pieces of about this size.
constexpr std::size_t kSpoolPiece = std::size_t{1} << 20;

QString EarlierLinesText(std::uint64_t count) {
  return QString(kEarlierLinesFormat).arg(QLocale(QLocale::English).toString(static_cast<qulonglong>(count)));
}

}  // namespace

TJobLog::TJobLog(QPlainTextEdit& control) : m_control(control) {
  m_timer.setSingleShot(true);
  m_timer.setInterval(kRefreshMs);
  QObject::connect(&m_timer, &QTimer::timeout, &m_control, [this] { Render(); });
}

TJobLog::~TJobLog() = default;

void TJobLog::Clear() {
  m_control.clear();
  m_timer.stop();
  m_tail.Clear();
  m_lines = 0;
  m_renderedLines = 0;
  m_controlLines = 0;
  m_earlierLinesShown = false;
  m_cut = false;
  m_spoolBuffer.clear();
  m_spoolFailed = false;
  m_spool.reset();
}

void TJobLog::FlushSpool() {
  if (m_spool && !m_spoolBuffer.empty() &&
      m_spool->write(m_spoolBuffer.data(), static_cast<qint64>(m_spoolBuffer.size())) !=
          static_cast<qint64>(m_spoolBuffer.size()))
    m_spoolFailed = true;
  m_spoolBuffer.clear();
}

void TJobLog::Add(std::span<const std::string_view> lines) {
  if (!m_spool && !m_spoolFailed) {
    m_spool = std::make_unique<QTemporaryFile>();
    if (!m_spool->open()) {
      m_spool.reset();
      m_spoolFailed = true;
    }
  }
  for (const std::string_view line : lines) m_spoolBuffer.append(line).push_back('\n');
  if (m_spoolBuffer.size() >= kSpoolPiece) FlushSpool();
  // Only the lines that can still be on screen are kept.
  const std::size_t keep = std::min(lines.size(), static_cast<std::size_t>(kShownLines));
  for (std::size_t k = lines.size() - keep; k < lines.size(); ++k) m_tail.Add(lines[k]);
  m_lines += lines.size();
  if (!m_timer.isActive()) m_timer.start();
}

void TJobLog::Render(bool whole) {
  m_timer.stop();
  const std::uint64_t fresh = m_lines - m_renderedLines;
  if (fresh == 0 && !(whole && m_cut)) return;
  m_renderedLines = m_lines;
  QScrollBar* scroll = m_control.verticalScrollBar();
  const bool atEnd = scroll->value() == scroll->maximum();
  const std::size_t shown = whole || !Flooding ? m_tail.size() : std::min(m_tail.size(), kFloodLines);
  if (fresh >= shown || (whole && m_cut)) {
    // Everything the control is to show is new: it starts over.
    QStringList text;
    text.reserve(static_cast<qsizetype>(shown) + 1);
    const std::uint64_t earlier = m_lines - shown;
    if (earlier != 0) text << EarlierLinesText(earlier);
    for (std::size_t k = m_tail.size() - shown; k < m_tail.size(); ++k) text << DisplayText(m_tail[k]);
    m_control.setPlainText(text.join('\n'));
    m_controlLines = static_cast<int>(shown);
    m_earlierLinesShown = earlier != 0;
    m_cut = shown < m_tail.size();
  } else {
    QStringList text;
    text.reserve(static_cast<qsizetype>(fresh));
    for (std::size_t k = m_tail.size() - static_cast<std::size_t>(fresh); k < m_tail.size(); ++k)
      text << DisplayText(m_tail[k]);
    m_control.appendPlainText(text.join('\n'));
    m_controlLines += static_cast<int>(fresh);
    const int excess = m_controlLines - kShownLines;
    if (excess > 0) {
      // The oldest lines go, and the first line counts them.
      QTextDocument* document = m_control.document();
      const int first = m_earlierLinesShown ? 1 : 0;
      QTextCursor cursor(document->findBlockByNumber(first));
      cursor.setPosition(document->findBlockByNumber(first + excess).position(), QTextCursor::KeepAnchor);
      cursor.removeSelectedText();
      m_controlLines = kShownLines;
      const QString earlierText = EarlierLinesText(m_lines - static_cast<std::uint64_t>(m_controlLines));
      QTextCursor head(document->firstBlock());
      if (m_earlierLinesShown) {
        head.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        head.insertText(earlierText);
      } else {
        head.insertText(earlierText + '\n');
        m_earlierLinesShown = true;
      }
    }
  }
  if (atEnd || fresh >= m_tail.size()) scroll->setValue(scroll->maximum());
}

QString TJobLog::SaveTo(const QString& path) {
  FlushSpool();
  if (m_spoolFailed) return m_spool ? m_spool->errorString() : QString(kNoLogSpool);
  QFile target(path);
  if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate)) return target.errorString();
  QString error;
  if (m_spool) {
    m_spool->flush();
    QFile spool(m_spool->fileName());
    if (!spool.open(QIODevice::ReadOnly)) error = spool.errorString();
    std::string piece(kSpoolPiece, '\0');
    for (qint64 got; error.isEmpty() && (got = spool.read(piece.data(), static_cast<qint64>(piece.size()))) > 0;)
      if (target.write(piece.data(), got) != got) error = target.errorString();
  }
  if (error.isEmpty() && !target.flush()) error = target.errorString();
  return error;
}

}  // namespace corvane
