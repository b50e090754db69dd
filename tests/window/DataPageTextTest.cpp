// The live data page's texts: slots with their unit suffixes, and labels touched only
// when their text really changes.
#include "window/DataPageText.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace orvanta::window {
namespace {

class RecordingLabels : public LabelTarget {
public:
    std::string LabelText(int id) const override {
        const auto it = texts.find(id);
        return it == texts.end() ? std::string() : it->second;
    }
    void SetLabelText(int id, std::string_view text) override {
        texts[id] = std::string(text);
        ++writes[id];
    }
    std::map<int, std::string> texts;
    std::map<int, int> writes;
};

TEST(DataPageText, EmptySlotsShowTheBareUnits) {
    protocol::MeasurementRecord record;
    RecordingLabels labels;
    RefreshDataPage(record, labels);
    const std::pair<int, const char*> expected[] = {
        {1056, "°"},   {1052, "°"},   {1054, "°"},   {1016, "°/s"}, {1015, "°/s"}, {1012, "°/s"},
        {1059, "g"},   {1061, "g"},   {1063, "g"},   {1071, "μT"},  {1080, "μT"},  {1082, "μT"},
        {1065, "m/s"}, {1067, "m/s"}, {1069, "m/s"}, {1124, "s"},
    };
    for (const auto& [id, text] : expected) {
        EXPECT_EQ(labels.LabelText(id), text) << id;
    }
    // GPS labels without a unit stay empty and are never written.
    for (int id : {1138, 1125, 1126, 1131, 1128, 1127, 1129}) {
        EXPECT_EQ(labels.writes.count(id), 0u) << id;
    }
}

TEST(DataPageText, EverySlotReachesItsLabelWithTheUnitInForce) {
    protocol::MeasurementRecord record;
    for (int i = 0; i < protocol::slot::kCount; ++i) {
        record.ItemText[static_cast<std::size_t>(i)] = "v" + std::to_string(i);
    }
    struct Case {
        int angleUnit;
        int accelUnit;
        std::map<int, std::string> expected;
    };
    const Case cases[] = {
        {0, 0, {{1056, "v0°"},    {1052, "v1°"},    {1054, "v2°"},    {1016, "v3°/s"},
                {1015, "v4°/s"},  {1012, "v5°/s"},  {1059, "v6g"},    {1061, "v7g"},
                {1063, "v8g"},    {1071, "v9μT"},   {1080, "v10μT"},  {1082, "v11μT"},
                {1065, "v12m/s"}, {1067, "v13m/s"}, {1069, "v14m/s"}, {1138, "v22"},
                {1125, "v23"},    {1126, "v24"},    {1131, "v25"},    {1128, "v26"},
                {1127, "v28"},    {1124, "v27s"},   {1129, "v29"}}},
        {1, 1, {{1056, "v0rad"}, {1012, "v5rad/s"}, {1063, "v8m/s2"}, {1082, "v11μT"}}},
        {1, 0, {{1054, "v2rad"}, {1015, "v4rad/s"}, {1059, "v6g"}}},
        {0, 7, {{1052, "v1°"}, {1061, "v7m/s2"}}}, // any nonzero flag means m/s2
    };
    for (const Case& c : cases) {
        record.AngleUnit = c.angleUnit;
        record.AccelUnit = c.accelUnit;
        RecordingLabels labels;
        RefreshDataPage(record, labels);
        EXPECT_EQ(labels.texts.size(), 23u);
        for (const auto& [id, text] : c.expected) {
            EXPECT_EQ(labels.LabelText(id), text)
                << id << " units " << c.angleUnit << "," << c.accelUnit;
        }
    }
}

TEST(DataPageText, TableCoversEachLabelAndSlotOnce) {
    std::set<int> ids;
    std::set<int> slots;
    for (const ValueLabel& label : kDataPageLabels) {
        ids.insert(label.id);
        slots.insert(label.slot);
    }
    EXPECT_EQ(ids.size(), 23u);
    EXPECT_EQ(slots.size(), 23u);
}

TEST(DataPageText, OnlyChangedTextsAreWritten) {
    RecordingLabels labels;
    labels.texts[1056] = "+1.000°";
    EXPECT_FALSE(SetTextIfChanged(labels, 1056, "+1.000°"));
    EXPECT_EQ(labels.writes[1056], 0);
    EXPECT_TRUE(SetTextIfChanged(labels, 1056, "+1.001°"));
    EXPECT_EQ(labels.writes[1056], 1);

    protocol::MeasurementRecord record;
    record.ItemText[0] = "+12.500";
    RefreshDataPage(record, labels);
    RefreshDataPage(record, labels);
    EXPECT_EQ(labels.writes[1056], 2); // the first refresh only
    // A unit switch without a new frame changes only the suffix.
    record.AngleUnit = 1;
    RefreshDataPage(record, labels);
    EXPECT_EQ(labels.LabelText(1056), "+12.500rad");
    EXPECT_EQ(labels.writes[1056], 3);
    EXPECT_EQ(labels.writes[1059], 1);
}

} // namespace
} // namespace orvanta::window
