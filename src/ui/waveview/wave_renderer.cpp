#include "ui/waveview/wave_renderer.h"

#include <QFontMetrics>
#include <cstdlib>
#include <limits>

#include "base/gbk.h"
#include "ir/ir_terms.h"
#include "ir/ir_text.h"
#include "ui/ui_text.h"
#include "wave/wave_geometry.h"

namespace klimavo::ui {
namespace {

constexpr int kGridTop = 16;
constexpr int kAxisFromBottom = 20;
constexpr int kTickFromBottom = 25;
constexpr int kMiddleTickFromBottom = 28;
constexpr int kGridLabelFromBottom = 15;
constexpr int kWideGridLabel = 43;
constexpr int kMinLabelRoom = 5;
constexpr int kSkippedLevelX = -100;
constexpr int kBoxTop = 14;
constexpr int kBoxBottom = 26;
constexpr int kBitBoxBottom = 36;
constexpr int kHeaderGap = 8;        // least room between two header fields
constexpr int kHeaderRightEdge = 4;  // header texts end this far from the right edge
constexpr int kHighlightAlpha = 70;  // the band behind highlighted levels

QString Decimal1(double value) { return QString::number(value, 'f', 1); }

QString Translated(const wave::WaveState& state, const std::string& utf8) {
  if (state.Chinese) return QString::fromStdString(utf8);
  auto gbk = base::Utf8ToGbk(utf8);
  if (!gbk) return QString::fromStdString(utf8);
  return FromGbk(ir::TranslateIrTerms(*gbk, 2057));
}

}  // namespace

WaveRenderer::WaveRenderer(const wave::WaveState& state, const WaveColours& colours, QSize size)
    : state_(state), colours_(colours), size_(size) {
  starts_.reserve(state.Durations.size() + 1);
  std::int64_t t = 0;
  for (std::int32_t d : state.Durations) {
    starts_.push_back(t);
    t += std::llabs(d);
  }
  starts_.push_back(t);
}

QFont WaveRenderer::LabelFont(bool chinese, int point_size) {
  QFont font;
  if (chinese) {
    font.setFamilies({"SimSun", "WenQuanYi Micro Hei", "Noto Sans CJK SC", "DejaVu Sans"});
    font.setPointSize(point_size > 0 ? point_size : 9);
  } else {
    font.setFamilies({"MS Sans Serif", "DejaVu Sans", "Liberation Sans"});
    font.setPointSize(point_size > 0 ? point_size : 8);
  }
  return font;
}

int WaveRenderer::XAt(std::int64_t time) const {
  return wave::XAtTime(time, state_.Position, state_.ZoomIndex);
}

void WaveRenderer::TextAt(QPainter& painter, int x, int y, const QString& text) {
  painter.drawText(x, y + painter.fontMetrics().ascent(), text);
  texts_.push_back({text, x, y, painter.fontMetrics().horizontalAdvance(text)});
}

void WaveRenderer::TextCentred(QPainter& painter, int x0, int x1, int y, const QString& text) {
  const int width = painter.fontMetrics().horizontalAdvance(text);
  TextAt(painter, x0 + (x1 - x0 - width) / 2, y, text);
}

void WaveRenderer::Paint(QPainter& painter) {
  texts_.clear();
  if (size_.width() <= 0 || size_.height() <= 0) return;
  painter.setFont(LabelFont(state_.Chinese));
  PaintBackground(painter);
  if (state_.ShowFocus) {
    painter.setPen(colours_[WaveRole::FocusBorder]);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, size_.width() - 1, size_.height() - 1);
  }
  PaintHighlights(painter);
  PaintSegments(painter);
  PaintLevels(painter);
  PaintScope(painter);
  PaintCursors(painter);
  PaintHeader(painter);
}

void WaveRenderer::PaintBackground(QPainter& painter) {
  const int w = size_.width();
  const int h = size_.height();
  painter.fillRect(0, 0, w, h, colours_[WaveRole::Background]);
  QFont grid_font = LabelFont(false, 9);
  painter.setFont(grid_font);
  const int x0 = wave::kLeftMargin - state_.Position;
  // Lines left of the view are counted but not drawn; start at the first visible one.
  int k = x0 + wave::kGridSpacing < 0 ? (-wave::kGridSpacing - x0) / wave::kGridSpacing : 0;
  for (int x = x0 + k * wave::kGridSpacing; x < w + wave::kGridSpacing; x += wave::kGridSpacing, ++k) {
    if (x + wave::kGridSpacing < 0) continue;
    painter.setPen(QPen(colours_[WaveRole::GridLines], 1, Qt::DotLine));
    painter.drawLine(x, kGridTop, x, h - kAxisFromBottom);
    painter.setPen(QPen(colours_[WaveRole::GridLines], 1, Qt::SolidLine));
    for (int i = 1; i < wave::kGridSpacing / 5; ++i) {
      const int tx = x + 5 * i;
      const int top = i == wave::kGridSpacing / 10 ? h - kMiddleTickFromBottom : h - kTickFromBottom;
      painter.drawLine(tx, top, tx, h - kAxisFromBottom);
    }
    const QString label = QString::fromStdString(wave::GridLabel(k, state_.ZoomIndex));
    const int label_width = painter.fontMetrics().horizontalAdvance(label);
    if (label_width < kWideGridLabel || k % 2 == 1) {
      painter.setPen(colours_[WaveRole::GridText]);
      TextAt(painter, x - label_width / 2, h - kGridLabelFromBottom, label);
    }
  }
  painter.setPen(colours_[WaveRole::GridLines]);
  painter.drawLine(0, h - kAxisFromBottom, w, h - kAxisFromBottom);
  painter.setFont(LabelFont(state_.Chinese));
}

QString WaveRenderer::FieldText(const wave::WaveState& state, const wave::WaveSegment& s) {
  QString value;
  if (s.SymbolCount > 0) {
    const auto v = static_cast<std::uint32_t>(s.Value);
    if (state.ValueFormat == 0)
      value = QString::fromStdString(ir::SymbolsToHexStr(s.SymbolCount, s.Radix, false, v));
    else if (state.ValueFormat == 1)
      value = QString::fromStdString(ir::IntToRadixStr(s.Radix, s.SymbolCount, v));
    else
      value = QString::number(s.Value);
  }
  return Translated(state, s.Name) + ":" + value;
}

bool WaveRenderer::Highlighted(std::size_t level) const {
  for (const wave::LevelRange& r : state_.Highlights)
    if (static_cast<std::int64_t>(level) >= r.First && static_cast<std::int64_t>(level) <= r.Last)
      return true;
  return false;
}

void WaveRenderer::PaintHighlights(QPainter& painter) {
  const std::size_t count = state_.Durations.size();
  QColor band = colours_[WaveRole::FocusedLevel];
  band.setAlpha(kHighlightAlpha);
  for (const wave::LevelRange& r : state_.Highlights) {
    if (r.First < 0 || r.Last < r.First || static_cast<std::size_t>(r.Last) >= count) continue;
    const int x0 = XAt(starts_[static_cast<std::size_t>(r.First)]);
    const int x1 = XAt(starts_[static_cast<std::size_t>(r.Last) + 1]);
    if (x1 < 0 || x0 > size_.width()) continue;
    painter.fillRect(
        QRect(QPoint(x0, kGridTop), QPoint(std::max(x0 + 1, x1), size_.height() - kAxisFromBottom)), band);
  }
}

void WaveRenderer::PaintSegments(QPainter& painter) {
  const int count = static_cast<int>(state_.Durations.size());
  for (const wave::WaveSegment& s : state_.Segments) {
    if (s.StartLevel < 0 || s.EndLevel < s.StartLevel || s.EndLevel >= count) continue;
    const int x0 = XAt(starts_[static_cast<std::size_t>(s.StartLevel)]);
    const int x1 = XAt(starts_[static_cast<std::size_t>(s.EndLevel) + 1]);
    if (x1 < 0 || x0 > size_.width()) continue;
    const bool bit = s.Kind == wave::WaveSegment::kBitNumber;
    const int top = bit ? kBoxBottom : kBoxTop;
    const int bottom = bit ? kBitBoxBottom : kBoxBottom;
    const WaveRole role = s.Kind == wave::WaveSegment::kFrameBox ? WaveRole::FrameBoxes
                          : bit                                  ? WaveRole::BitBoxes
                                                                 : WaveRole::FieldBoxes;
    painter.setPen(colours_[role]);
    painter.setBrush(colours_[role]);
    painter.drawRect(x0, top, x1 - x0, bottom - top);
    if (s.Kind == wave::WaveSegment::kFrameBox) continue;
    const QString text = bit ? Translated(state_, s.Name) : FieldText(state_, s);
    QFont font = LabelFont(state_.Chinese, bit ? 8 : -1);
    painter.setFont(font);
    if (painter.fontMetrics().horizontalAdvance(text) <= x1 - x0) {
      painter.setPen(colours_[WaveRole::SegmentText]);
      TextCentred(painter, x0, x1, bit ? kBoxBottom : kBoxTop + 1, text);
    }
    painter.setFont(LabelFont(state_.Chinese));
  }
  painter.setBrush(Qt::NoBrush);
}

void WaveRenderer::PaintLevels(QPainter& painter) {
  const int w = size_.width();
  const int h = size_.height();
  const int high_y = wave::kHighLevelY;
  const int low_y = h - wave::kLowLevelMargin;
  const int label_y = wave::kHighLevelY + (h - 67) / 2 - 8;
  const std::size_t n = state_.Durations.size();
  int x = wave::kLeftMargin - state_.Position;
  bool previous_high = false;
  bool drew_last = false;
  int last_x = x;
  int last_edge_x = std::numeric_limits<int>::min();
  const int min_label_width = painter.fontMetrics().horizontalAdvance("0");
  for (std::size_t i = 0; i < n; ++i) {
    const std::int32_t d = state_.Durations[i];
    const bool high = d > 0;
    const int x1 = XAt(starts_[i + 1]);
    if (x1 < kSkippedLevelX) {
      x = x1;
      previous_high = high;
      continue;
    }
    if (x > w) break;
    // At coarse zooms many levels share one pixel column: one edge per column is enough.
    const bool edge = (i > 0 && high != previous_high) || (i == 0 && state_.Position == 0);
    if (edge && x != last_edge_x) {
      painter.setPen(colours_[WaveRole::Levels]);
      painter.drawLine(x, high_y, x, low_y);
      last_edge_x = x;
    }
    const bool focused = static_cast<int>(i) == state_.FocusedLevel;
    const int y = high ? high_y : low_y;
    if (x1 > x || focused) {
      painter.setPen(focused || Highlighted(i) ? colours_[WaveRole::FocusedLevel]
                                               : colours_[WaveRole::Levels]);
      painter.drawLine(x, y, x1, y);
    }
    // A label needs at least its own width plus the margin; narrow levels skip the measuring.
    if (x1 - x >= kMinLabelRoom + min_label_width || focused) {
      const QString label = QString::fromStdString(wave::DurationLabel(d, state_.TreeMode));
      const int label_width = painter.fontMetrics().horizontalAdvance(label);
      if (x1 - x - label_width >= kMinLabelRoom) {
        painter.setPen(colours_[WaveRole::DurationLabels]);
        TextCentred(painter, x, x1, label_y, label);
      } else if (focused) {
        painter.setPen(colours_[WaveRole::FocusedLabel]);
        TextCentred(painter, x + 2, x1 + 2, label_y, label);
      }
    }
    previous_high = high;
    x = x1;
    last_x = x1;
    drew_last = i + 1 == n;
  }
  if (drew_last && state_.Durations.back() > 0) {
    painter.setPen(colours_[WaveRole::Levels]);
    painter.drawLine(last_x, high_y, last_x, low_y);
  }
}

void WaveRenderer::PaintScope(QPainter& painter) {
  if (!state_.DrawScope) return;
  painter.setPen(QPen(colours_[WaveRole::Scope], 1, Qt::DotLine));
  painter.setBrush(Qt::NoBrush);
  const int x0 = XAt(state_.ScopeStart);
  const int x1 = XAt(state_.ScopeEnd);
  painter.drawRect(x0, 2, x1 - x0, size_.height() - 4);
}

void WaveRenderer::PaintCursors(QPainter& painter) {
  if (!state_.ShowLineAB) return;
  const int h = size_.height();
  const int xa = XAt(state_.CursorA);
  const int xb = XAt(state_.CursorB);
  painter.setPen(colours_[WaveRole::CursorLines]);
  painter.drawLine(xa, kGridTop, xa, h - kAxisFromBottom);
  painter.drawLine(xb, kGridTop, xb, h - kAxisFromBottom);
  painter.drawLine(xa, h - 40, xb, h - 40);
  painter.setPen(colours_[WaveRole::CursorTexts]);
  TextAt(painter, xa - 3, 4, "A");
  TextAt(painter, xb - 3, 4, "B");
  const int left = std::min(xa, xb);
  const int right = std::max(xa, xb);
  // Centred between the lines, but never cut by the view's edges when the cursors are close to one.
  auto x_of = [&](const QString& text) {
    const int w = painter.fontMetrics().horizontalAdvance(text);
    return std::clamp(left + (right - left - w) / 2, 2, std::max(2, size_.width() - w - 2));
  };
  const QString distance =
      Decimal1(static_cast<double>(std::llabs(state_.CursorA - state_.CursorB)) / 10.0) + "us";
  const int dx = x_of(distance);
  painter.fillRect(dx, h - 54, painter.fontMetrics().horizontalAdvance(distance),
                   painter.fontMetrics().height(), colours_[WaveRole::Background]);
  TextAt(painter, dx, h - 54, distance);
  const int level_a = state_.CursorA == 0 ? -1 : wave::LevelAt(state_.Durations, state_.CursorA);
  const int level_b = wave::LevelAt(state_.Durations, state_.CursorB);
  const QString levels =
      QString(state_.Chinese ? "电平数:" : "LEV Qty.:") + QString::number(std::abs(level_a - level_b));
  TextAt(painter, x_of(levels), h - 36, levels);
}

QString WaveRenderer::CodeValueText(const wave::WaveState& state) {
  QString text;
  int previous = -1;
  for (const wave::WaveSegment& s : state.Segments) {
    if (s.Kind != wave::WaveSegment::kField || s.SymbolCount == 0) continue;
    if (static_cast<int>(s.NodeId) <= previous) break;
    previous = s.NodeId;
    text += QString::fromStdString(
                ir::SymbolsToHexStr(s.SymbolCount, s.Radix, false, static_cast<std::uint32_t>(s.Value))) +
            " ";
  }
  // A raw capture has no fields: its decoded bytes, when it was decoded, stand in.
  if (text.isEmpty()) text = QString::fromStdString(state.CodeText);
  return text;
}

void WaveRenderer::PaintHeader(QPainter& painter) {
  const bool zh = state_.Chinese;
  const QFontMetrics metrics = painter.fontMetrics();
  QString protocol = QString::fromStdString(state_.ProtocolName);
  if (!QString::fromStdString(state_.ProtocolName2).trimmed().isEmpty())
    protocol += " " + QString::fromStdString(state_.ProtocolName2);
  const QString carrier =
      state_.Carrier == wave::kNoCarrier ? QString() : Decimal1(state_.Carrier / 1000.0) + "KHz";
  // Each field at its usual place: the value follows its label (at a fixed
  // place in Chinese, right after the label's text otherwise).
  auto field = [&](const QString& label, int label_x, int zh_value_x, int en_offset, WaveRole role,
                   const QString& value, bool elidable) {
    const int value_x = zh ? zh_value_x : 36 + en_offset + metrics.horizontalAdvance(label);
    return HeaderField{label, label_x, value_x - label_x, role, value, elidable};
  };
  std::vector<HeaderField> fields;
  if (!QString::fromStdString(state_.Title).trimmed().isEmpty())
    fields.push_back({QString::fromStdString(state_.Title),
                      state_.ShowMoveOnStatus ? 20 : 2,
                      0,
                      WaveRole::Title,
                      {},
                      false});
  if (!state_.TreeMode)
    fields.push_back({zh ? "序号:" : "No.:", zh ? 36 : 42, zh ? 32 : 24, WaveRole::Title,
                      QString("%1").arg(state_.RecordNo, 3, 10, QChar('0')), false});
  fields.push_back(field(zh ? "格式:" : "PROTOCOL:", 96, 128, 64, WaveRole::ProtocolText, protocol, true));
  fields.push_back(
      field(zh ? "码值:" : "CODE VALUE:", 296, 328, 262, WaveRole::CodeValue, CodeValueText(state_), true));
  fields.push_back(
      field(zh ? "载波:" : "CARRIER:", 586, 618, 552, WaveRole::CarrierAndLevels, carrier, false));
  fields.push_back(field(zh ? "电平数:" : "LEV. QTY.:", zh ? 676 : 684, 718, 650, WaveRole::CarrierAndLevels,
                         QString::number(state_.Durations.size()), false));
  if (state_.ShowLineAB)
    fields.push_back(field(
        "AB:", 766, 766 + metrics.horizontalAdvance("AB:") + 2, 732, WaveRole::CursorTexts,
        Decimal1(static_cast<double>(std::llabs(state_.CursorA - state_.CursorB)) / 10.0) + "us", false));
  for (const PlacedHeaderField& f : LayOutHeader(fields, size_.width(), metrics)) {
    painter.setPen(colours_[WaveRole::Title]);
    TextAt(painter, f.label_x, 2, f.field.label);
    if (f.value.isEmpty()) continue;
    painter.setPen(colours_[f.field.role]);
    TextAt(painter, f.value_x, 2, f.value);
  }
}

std::vector<PlacedHeaderField> WaveRenderer::LayOutHeader(const std::vector<HeaderField>& fields, int width,
                                                          const QFontMetrics& metrics) {
  std::vector<PlacedHeaderField> placed;
  // Left to right: each field at its usual place, or after the one before it.
  int previous_end = std::numeric_limits<int>::min() / 2;
  for (const HeaderField& f : fields) {
    PlacedHeaderField p{f, std::max(f.label_x, previous_end + kHeaderGap), 0, f.value};
    p.value_x =
        p.label_x + std::max(f.value_offset, f.value.isEmpty() ? 0 : metrics.horizontalAdvance(f.label) + 2);
    previous_end = p.End(metrics);
    placed.push_back(p);
  }
  // Too wide: from the right, the fixed fields move left as far as needed and
  // the long values (protocol, code value) are shortened to the room left.
  const int right_edge = width - kHeaderRightEdge;
  if (placed.empty() || placed.back().End(metrics) <= right_edge) return placed;
  int limit = right_edge;
  for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
    PlacedHeaderField& p = *it;
    if (p.label_x < 0) continue;  // given up for the field after it
    // A long value after another one (the code value after the protocol) takes
    // the room of the one before it first: it says more. When even that is not
    // enough, the one before goes altogether, label and all.
    const auto before = std::next(it);
    if (p.field.elidable && before != placed.rend() && before->field.elidable && p.End(metrics) > limit) {
      const int need = p.End(metrics) - limit;
      int shift = std::min(need, p.label_x - (before->value_x + kHeaderGap));
      if (need > shift) {
        shift = std::min(need, p.label_x - before->label_x);
        before->label_x = -1;
      }
      if (shift > 0) {
        p.label_x -= shift;
        p.value_x -= shift;
      }
    }
    if (p.field.elidable && p.End(metrics) > limit) {
      // Shortened to nothing, the field goes, label and all.
      const QString shortened = metrics.elidedText(p.value, Qt::ElideRight, limit - p.value_x);
      if (shortened.isEmpty() || shortened == QString(QChar(0x2026))) {
        p.label_x = -1;
        continue;
      }
      p.value = shortened;
    }
    const int overflow = p.End(metrics) - limit;
    if (overflow > 0) {
      p.label_x -= overflow;
      p.value_x -= overflow;
    }
    limit = p.label_x - kHeaderGap;
  }
  // What no longer fits at the left is left out rather than drawn over another.
  std::erase_if(placed, [](const PlacedHeaderField& p) { return p.label_x < 0; });
  return placed;
}

int PlacedHeaderField::End(const QFontMetrics& metrics) const {
  if (value.isEmpty()) return label_x + metrics.horizontalAdvance(field.label);
  return value_x + metrics.horizontalAdvance(value);
}

}  // namespace klimavo::ui
