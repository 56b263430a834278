#include <tarnwick/host/ControlState.h>

#include <array>

namespace tarnwick::host {

namespace {

class StoredState final : public ControlState {
 public:
  Variant get(Property p) const override { return values_[index(p)]; }
  void set(Property p, const Variant& value) override { values_[index(p)] = value.value(); }

  std::size_t itemCount() const override { return items_.size(); }
  std::u16string item(std::size_t at) const override { return items_.at(at); }
  void setItem(std::size_t at, std::u16string text) override { items_.at(at) = std::move(text); }
  void insertItem(std::size_t at, std::u16string text) override {
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), std::move(text));
  }
  void removeItem(std::size_t at) override { items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(at)); }
  void clearItems() override { items_.clear(); }

  std::size_t rows() const override { return rows_; }
  std::size_t cols() const override { return cols_; }
  void resize(std::size_t rows, std::size_t cols) override {
    if (cols == cols_) {
      cells_.resize(rows * cols);
    } else {
      std::vector<std::u16string> cells(rows * cols);
      for (std::size_t r = 0; r < std::min(rows, rows_); ++r)
        for (std::size_t c = 0; c < std::min(cols, cols_); ++c) cells[r * cols + c] = std::move(cells_[r * cols_ + c]);
      cells_ = std::move(cells);
    }
    rows_ = rows;
    cols_ = cols;
    colWidths_.resize(cols, kDefaultColWidth);
    rowHeights_.resize(rows, kDefaultRowHeight);
  }
  const std::u16string& cell(std::size_t row, std::size_t col) const override { return cells_.at(row * cols_ + col); }
  void setCell(std::size_t row, std::size_t col, std::u16string text) override {
    cells_.at(row * cols_ + col) = std::move(text);
  }
  void insertRow(std::size_t at) override {
    if (at == rows_) {
      // A row added at the end, as a fill adds every record.
      cells_.resize(cells_.size() + cols_);
      rowHeights_.push_back(kDefaultRowHeight);
    } else {
      cells_.insert(cells_.begin() + static_cast<std::ptrdiff_t>(at * cols_), cols_, std::u16string());
      rowHeights_.insert(rowHeights_.begin() + static_cast<std::ptrdiff_t>(at), kDefaultRowHeight);
    }
    ++rows_;
  }
  void insertFilledRow(std::size_t at, std::span<const std::u16string_view> texts) override {
    if (at != rows_) return ControlState::insertFilledRow(at, texts);
    // A row added at the end, its cells made in place.
    const std::size_t before = cells_.size();
    try {
      for (const std::u16string_view text : texts) cells_.emplace_back(text);
      cells_.resize(before + cols_);
      rowHeights_.push_back(kDefaultRowHeight);
    } catch (...) {
      cells_.resize(before);
      throw;
    }
    ++rows_;
  }
  void removeRow(std::size_t at) override {
    const auto first = cells_.begin() + static_cast<std::ptrdiff_t>(at * cols_);
    cells_.erase(first, first + static_cast<std::ptrdiff_t>(cols_));
    rowHeights_.erase(rowHeights_.begin() + static_cast<std::ptrdiff_t>(at));
    --rows_;
  }
  double colWidth(std::size_t col) const override { return colWidths_.at(col); }
  void setColWidth(std::size_t col, double width) override { colWidths_.at(col) = width; }
  double rowHeight(std::size_t row) const override { return rowHeights_.at(row); }
  void setRowHeight(std::size_t row, double height) override { rowHeights_.at(row) = height; }

  std::size_t columnCount() const override { return columns_.size(); }
  GridColumn column(std::size_t at) const override { return columns_.at(at); }
  void setColumn(std::size_t at, GridColumn column) override { columns_.at(at) = std::move(column); }
  void insertColumn(std::size_t at, GridColumn column) override {
    columns_.insert(columns_.begin() + static_cast<std::ptrdiff_t>(at), std::move(column));
  }
  void clearColumns() override { columns_.clear(); }
  std::vector<Variant>& selectedBookmarks() override { return bookmarks_; }

 private:
  static std::size_t index(Property p) noexcept { return static_cast<std::size_t>(p); }
  std::array<Variant, kPropertyCount> values_;
  std::vector<std::u16string> items_;
  std::size_t rows_ = 0;
  std::size_t cols_ = 0;
  std::vector<std::u16string> cells_;
  std::vector<double> colWidths_;
  std::vector<double> rowHeights_;
  std::vector<GridColumn> columns_;
  std::vector<Variant> bookmarks_;
};

}  // namespace

std::unique_ptr<ControlState> makeStoredState() { return std::make_unique<StoredState>(); }

}  // namespace tarnwick::host
