#include "qt/grid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "platform/failure.h"
#include "platform/key_codes.h"
#include "platform/locale.h"
#include "qt/accessibility.h"
#include "qt/site.h"

namespace quorvel::qt {

using namespace grid_dispid;

namespace {

bool isDateType(const Variant& v) { return v.type() == Variant::Type::Date; }

bool looksLikeDatePattern(std::string_view f) {
    bool letters = false;
    for (char c : f) {
        char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (l == '0' || l == '#') return false;
        if (l == 'd' || l == 'm' || l == 'y' || l == 'h' || l == 'n' || l == 's') letters = true;
    }
    return letters;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A number with a fixed count of decimals, grouped by thousands or not, in
// the locale's separators.
std::string fixedNumber(double v, int decimals, bool grouped, const Locale& locale) {
    const std::string& point = locale.decimalSeparator();
    const std::string group = point == "," ? "." : ",";
    const double scale = std::pow(10.0, decimals);
    double rounded = roundHalfEven(std::fabs(v) * scale) / scale;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, rounded);
    std::string digits = buf;
    std::string whole = digits.substr(0, digits.find('.'));
    std::string frac = decimals > 0 ? digits.substr(digits.find('.') + 1) : "";
    if (grouped) {
        std::string g;
        int n = 0;
        for (auto it = whole.rbegin(); it != whole.rend(); ++it, ++n) {
            if (n > 0 && n % 3 == 0) g.insert(0, group);
            g.insert(g.begin(), *it);
        }
        whole = g;
    }
    std::string out = (v < 0 && rounded != 0) ? "-" : "";
    out += whole;
    if (decimals > 0) out += point + frac;
    return out;
}

}  // namespace

QString formatCell(const Variant& value, const std::string& format, const Locale& locale) {
    if (value.isEmpty() || value.isNull()) return QString();
    try {
        const std::string f = lower(format);
        if (format.empty() || f == "general number" || f == "general date")
            return toQString(locale.textOf(value));
        if (f == "short date") return toQString(locale.shortDate(locale.toDate(value)));
        if (isDateType(value) || looksLikeDatePattern(format)) {
            if (!looksLikeDatePattern(format)) return toQString(locale.textOf(value));
            return toQString(locale.formatDate(value, format));
        }
        if (!value.holdsNumber() && !locale.isNumeric(value)) return toQString(locale.textOf(value));
        double v = value.holdsNumber() ? value.toDouble() : Locale::numericParse(locale.textOf(value));
        if (f == "fixed") return toQString(fixedNumber(v, 2, false, locale));
        if (f == "standard" || f == "currency") return toQString(fixedNumber(v, 2, true, locale));
        if (f == "percent") return toQString(fixedNumber(v * 100, 2, false, locale) + "%");
        // A pattern of 0 and #: its decimals, its grouping, a trailing %.
        std::size_t point = format.find('.');
        int decimals = 0;
        if (point != std::string::npos)
            for (std::size_t i = point + 1; i < format.size() && (format[i] == '0' || format[i] == '#'); ++i)
                ++decimals;
        const bool grouped = format.substr(0, point).find(',') != std::string::npos;
        const bool percent = format.find('%') != std::string::npos;
        return toQString(fixedNumber(percent ? v * 100 : v, decimals, grouped, locale) +
                         (percent ? "%" : ""));
    } catch (const Failure&) { return QString(); }
}

// --- The model ----------------------------------------------------------

int RecordsetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int RecordsetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

RecordsetModel::RecordsetModel(QtGrid& grid) : grid_(grid) {
    // Every 50 ms: the scroll bar keeps up with the reading, and the last
    // rows show soon after they are read.
    growing_.setInterval(50);
    connect(&growing_, &QTimer::timeout, this, &RecordsetModel::takeNewRows);
}

void RecordsetModel::reload() {
    // Whether rows are still coming first: a count taken after it is final
    // once it says no.
    const bool reading = grid_.binding().stillReading();
    beginResetModel();
    rows_ = std::max(0, grid_.rowCount());
    columns_ = grid_.columnModel().count();
    endResetModel();
    if (reading) growing_.start();
    else growing_.stop();
}

void RecordsetModel::takeNewRows() {
    // As in reload: asked before the count.
    const bool reading = grid_.binding().stillReading();
    const int rows = std::max(0, grid_.rowCount());
    if (rows > rows_) {
        beginInsertRows(QModelIndex(), rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    }
    if (!reading) growing_.stop();
}

void RecordsetModel::columnsChanged() {
    if (columns_ == 0) return;
    emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
    if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const {
    // The list only shows records: nothing is edited.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_) return {};
    if (role != Qt::DisplayRole && role != Qt::TextAlignmentRole) return {};
    auto& columns = grid_.columnModel();
    if (index.column() >= columns.count()) return {};
    auto column = columns.column(index.column());
    Variant value;
    try {
        ++cellsRead_;
        value = grid_.binding().cell(index.row(), index.column());
    } catch (const Failure&) {
        // A record that cannot be read shows empty rather than failing the
        // repaint.
        return {};
    }
    if (role == Qt::DisplayRole) return formatCell(value, column->numberFormat(), grid_.locale());
    switch (column->alignment()) {
        case 0: return int(Qt::AlignLeft | Qt::AlignVCenter);
        case 1: return int(Qt::AlignRight | Qt::AlignVCenter);
        case 2: return int(Qt::AlignHCenter | Qt::AlignVCenter);
        default:
            // General: numbers and dates to the right, text to the left.
            if (value.holdsNumber() || isDateType(value)) return int(Qt::AlignRight | Qt::AlignVCenter);
            return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    auto& columns = grid_.columnModel();
    if (section < 0 || section >= columns.count()) return {};
    return toQString(columns.column(section)->caption());
}

// --- The view -----------------------------------------------------------

class GridView final : public QTableView {
public:
    GridView(QWidget* parent, QtGrid& grid) : QTableView(parent), grid_(&grid) {}

protected:
    void keyPressEvent(QKeyEvent* e) override {
        e->accept();
        if (!routed()) return;
        grid_->site()->guard([&] { grid_->keyDown(e); });
    }
    void mousePressEvent(QMouseEvent* e) override {
        mouse(e, &GridEvents::onMouseDown, mouseButtonOf(e->button()));
        QPointer<GridView> self(this);
        if (self && (grid_->pressesMoveRow() & e->button())) QTableView::mousePressEvent(e);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        mouse(e, &GridEvents::onMouseMove, mouseButtonsOf(e->buttons()));
        QPointer<GridView> self(this);
        // No drag selection: the current row follows presses only.
        if (self && e->buttons() == Qt::NoButton) QTableView::mouseMoveEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        QPointer<GridView> self(this);
        QTableView::mouseReleaseEvent(e);
        if (self) mouse(e, &GridEvents::onMouseUp, mouseButtonOf(e->button()));
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        // A second press: the notifications as for any press.
        mousePressEvent(e);
    }
    void paintEvent(QPaintEvent* e) override { QTableView::paintEvent(e); }
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
        QTableView::currentChanged(current, previous);
        if (current.isValid() && (!previous.isValid() || current.row() != previous.row()))
            grid_->viewRowChanged(current.row());
    }

private:
    bool routed() const { return grid_->events() && grid_->site() && grid_->site()->connected(); }
    using MouseSink = void (GridEvents::*)(std::int16_t&, std::int16_t&, float&, float&);
    void mouse(QMouseEvent* e, MouseSink sink, std::int16_t button) {
        if (!routed()) return;
        std::int16_t shift = shiftStateOf(e->modifiers());
        // In the grid's own coordinates: the viewport lies below the headings.
        TwipsPoint p = twipsOf(this, e->position() + QPointF(viewport()->pos()));
        grid_->site()->guard([&] { (grid_->events()->*sink)(button, shift, p.x, p.y); });
    }

    QtGrid* grid_;
};

// --- QtGrid -------------------------------------------------------------

QtGrid::QtGrid(QtSite& site, QWidget* surface, std::string name, GridEvents& events)
    : GridOn(site, new GridView(surface, *this)),
      events_(&events),
      model_(std::make_unique<RecordsetModel>(*this)) {
    QTableView* v = view();
    v->setObjectName(toQString(name));
    v->setModel(model_.get());
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setTabKeyNavigation(false);
    // Not a tab stop: a list clipped away below the closed control is not
    // where a user tabs to. A click gives it the focus.
    v->setFocusPolicy(Qt::ClickFocus);
    v->setWordWrap(false);
    v->setCornerButtonEnabled(false);
    v->viewport()->setMouseTracking(true);
    v->verticalHeader()->hide();
    v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    v->verticalHeader()->setMinimumSectionSize(1);
    v->horizontalHeader()->setSectionsClickable(false);
    v->horizontalHeader()->setHighlightSections(false);
    v->horizontalHeader()->setSectionsMovable(false);
    v->horizontalHeader()->setMinimumSectionSize(0);

    grid_.columnModel().setChangeListener([this] {
        columnsDirty_ = true;
        scheduleSync();
    });
    grid_.settings().setChangeListener([this](std::int32_t) {
        settingsDirty_ = true;
        scheduleSync();
    });
    grid_.setColumnListener([this] { showCurrentRow(); });
    grid_.setCurrentRowListener([this] { showCurrentRow(); });
    grid_.setRowsListener([this] {
        model_->reload();
        columnsDirty_ = true;
        syncView();
        showCurrentRow();
    });
    setLeft(0);
    setTop(0);
    setWidth(2655);
    setHeight(2055);
    model_->reload();
    syncView();
}

QtGrid::~QtGrid() {
    grid_.columnModel().setChangeListener({});
    grid_.setColumnListener({});
    grid_.setCurrentRowListener({});
    grid_.setRowsListener({});
    if (QTableView* v = view()) v->setModel(nullptr);
}

QTableView* QtGrid::view() const { return static_cast<QTableView*>(widget_.data()); }

const Locale& QtGrid::locale() const {
    static const Locale english = Locale::english();
    return site_ ? site_->locale() : english;
}

void QtGrid::scheduleSync() {
    // The control changes the columns one setting at a time; the view takes
    // them all at once, at the next turn of the event loop.
    if (syncScheduled_ || !widget_) return;
    syncScheduled_ = true;
    QTimer::singleShot(0, widget_, [this] { syncView(); });
}

void QtGrid::syncView() {
    syncScheduled_ = false;
    QTableView* v = view();
    if (!v) return;
    if (settingsDirty_) applySettings();
    if (!columnsDirty_) return;
    columnsDirty_ = false;
    if (grid_.columnModel().count() != model_->columns()) {
        model_->reload();
        showCurrentRow();
    } else {
        model_->columnsChanged();
    }
    const double tpp = tppX();
    for (int i = 0; i < model_->columns(); ++i) {
        auto column = grid_.columnModel().column(i);
        v->setColumnHidden(i, column->visible() == kFalse);
        v->setColumnWidth(i, static_cast<int>(std::lround(column->width() / tpp)));
    }
}

void QtGrid::applySettings() {
    settingsDirty_ = false;
    QTableView* v = view();
    if (!v) return;
    QPalette base = site_ && site_->surfaceWidget() ? site_->surfaceWidget()->palette() : v->palette();
    QPalette p = v->palette();
    p.setColor(QPalette::Base, colorOf(backColor(), base));
    p.setColor(QPalette::Text, colorOf(foreColor(), base));
    v->setPalette(p);
    if (auto f = font()) v->setFont(qFontOf(f->description()));
    if (auto f = headFont()) v->horizontalHeader()->setFont(qFontOf(f->description()));
    v->horizontalHeader()->setVisible(settings().boolean(kColumnHeaders) != kFalse);
    std::int32_t rowHeight = settings().get(kRowHeight).asLong();
    int px =
        rowHeight > 0 ? static_cast<int>(std::lround(rowHeight / tppY())) : v->fontMetrics().height() + 4;
    v->verticalHeader()->setDefaultSectionSize(std::max(px, 1));
    const std::int32_t bars = scrollBars();
    auto policy = [](bool on) { return on ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff; };
    v->setHorizontalScrollBarPolicy(policy(bars == 1 || bars == 3 || bars >= 4));
    v->setVerticalScrollBarPolicy(policy(bars == 2 || bars == 3 || bars >= 4));
    v->setFrameShape(settings().get(kBorderStyle).toInteger() == 0 ? QFrame::NoFrame : QFrame::StyledPanel);
    v->setEnabled(settings().boolean(kEnabled) != kFalse);
}

void QtGrid::showCurrentRow() {
    QTableView* v = view();
    if (!v || showingRow_) return;
    const int r = row();
    showingRow_ = true;
    // A move past the rows shown so far (a find or MoveLast while the rows
    // are still read) brings the rows read up to it.
    if (r >= model_->rowCount()) model_->takeNewRows();
    if (r < 0 || r >= model_->rowCount() || model_->columns() == 0) {
        v->selectionModel()->clear();
    } else {
        QModelIndex index = model_->index(r, std::clamp<int>(col(), 0, model_->columns() - 1));
        // A match out of view shows at the top, with the records that follow
        // it below; a key's step scrolls only as far as it must. (Measured
        // before the view's own scrolling to a new current index.)
        const QRect shown = v->visualRect(index);
        const bool inView = !shown.isEmpty() && v->viewport()->rect().contains(shown);
        const bool step = shownRow_ >= 0 && std::abs(r - shownRow_) == 1;
        v->selectionModel()->setCurrentIndex(index,
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        if (keyMoving_ || step) v->scrollTo(index);
        else if (!inView) v->scrollTo(index, QAbstractItemView::PositionAtTop);
        // With the focus in the view Qt announces the cell itself.
        if (r != shownRow_ && !v->hasFocus()) announceActiveCell(v, index);
    }
    shownRow_ = r;
    showingRow_ = false;
}

void QtGrid::viewRowChanged(int r) {
    if (showingRow_) return;
    grid_.moveQuietly(r);
    // A move that the recordset refused (a validate handler cancelled it)
    // leaves the view where the record is.
    if (row() != r) showCurrentRow();
}

void QtGrid::keyDown(QKeyEvent* e) {
    std::int16_t keyCode = virtualKeyOf(*e);
    std::int16_t shift = shiftStateOf(e->modifiers());
    QPointer<QWidget> alive(widget_);
    if (events_) events_->onKeyDown(keyCode, shift);
    if (!alive) return;
    QTableView* v = view();
    const int rowPx = std::max(1, v->verticalHeader()->defaultSectionSize());
    const QScopedValueRollback<bool> moving(keyMoving_, true);
    grid_.navigate(keyCode, std::max(1, v->viewport()->height() / rowPx));
}

}  // namespace quorvel::qt
