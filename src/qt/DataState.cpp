// The state of a data control on a DataControl widget.
#include "WidgetStates.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/qt/DataControl.h>

#include <algorithm>

namespace tarnwick::qt::impl {

namespace {

class DataState final : public WidgetState {
 public:
  using WidgetState::WidgetState;

 protected:
  DataControl* data() const { return qobject_cast<DataControl*>(object()); }
  void write(Property p, const Variant& value) override {
    switch (p) {
      case Property::Caption: return data()->setCaption(qtextOf(value));
      case Property::DatabaseName: return data()->setDatabaseName(qtextOf(value));
      case Property::RecordSource: return data()->setRecordSource(qtextOf(value));
      default: WidgetState::write(p, value);
    }
  }
  void adopt() override {
    WidgetState::adopt();
    DataControl* d = data();
    store().set(Property::Caption, Variant(utext(d->caption())));
    store().set(Property::DatabaseName, Variant(utext(d->databaseName())));
    store().set(Property::RecordSource, Variant(utext(d->recordSource())));
    if (const QVariant type = d->property("RecordsetType"); type.isValid())
      store().set(Property::RecordsetType, Variant(static_cast<std::int16_t>(std::clamp(type.toInt(), 0, 2))));
  }
  void listen() override {
    // The navigator's buttons move the recordset; moving before the first
    // or after the last record stays on it.
    keep(QObject::connect(data(), &DataControl::navigate, [this](int move) {
      if (!owner()) return;
      try {
        const Variant rs = Object(static_cast<IDispatch*>(owner())).get(u"Recordset");
        if (rs.valueType() != VT_DISPATCH || !rs.dispatch()) return;
        Object recordset(rs);
        static constexpr std::u16string_view kMoves[] = {u"MoveFirst", u"MovePrevious", u"MoveNext", u"MoveLast"};
        recordset.call(kMoves[std::clamp(move, 0, 3)]);
        if (move == 1 && toBool(recordset.get(u"BOF"))) recordset.call(u"MoveFirst");
        if (move == 2 && toBool(recordset.get(u"EOF"))) recordset.call(u"MoveLast");
        // The controls bound to the data control show the record reached.
        Object(static_cast<IDispatch*>(owner())).call(u"UpdateControls");
      } catch (const std::exception&) {
        // An empty recordset has nowhere to go.
      }
    }));
  }
};

}  // namespace

std::unique_ptr<WidgetState> newDataState(QObject* object, bool designed) {
  return std::make_unique<DataState>(object, designed);
}

}  // namespace tarnwick::qt::impl
