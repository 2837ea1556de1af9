#include <gtest/gtest.h>

#include <VeltoSDK/VeltoParams.hpp>

namespace VeltoSDK {
namespace {

using Dictionary = VeltoParams::Dictionary;

TEST(VeltoParamsTest, NewObjectReadsEmptyWithoutAddingKeys) {
    VeltoParams params;
    EXPECT_EQ(params.value(), "");
    EXPECT_EQ(params.currency(), "");
    EXPECT_EQ(params.itemId(), "");
    EXPECT_EQ(params.itemType(), "");
    EXPECT_EQ(params.itemName(), "");
    EXPECT_TRUE(params.veltoParamsDictionary().empty());
}

TEST(VeltoParamsTest, NamedPropertiesAreViewsOnTheirKeys) {
    VeltoParams params("1", "EUR", "a,b", "t", "n");
    EXPECT_EQ(params.veltoParamsDictionary(),
              (Dictionary{{"va", "1"}, {"c", "EUR"}, {"ii", "a,b"}, {"itp", "t"}, {"in", "n"}}));

    params.put("c", "USD");  // put and the property write the same entry; the last one wins
    EXPECT_EQ(params.currency(), "USD");
    params.setCurrency("JPY");
    EXPECT_EQ(params.veltoParamsDictionary().at("c"), "JPY");
    EXPECT_EQ(params.veltoParamsDictionary().size(), 5u);
}

TEST(VeltoParamsTest, AbsentArgumentsLeaveKeysOutButEmptyOnesAreStored) {
    EXPECT_TRUE(VeltoParams(std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt)
                    .veltoParamsDictionary()
                    .empty());
    VeltoParams params("", std::nullopt, std::nullopt, std::nullopt, std::nullopt);
    EXPECT_EQ(params.veltoParamsDictionary(), (Dictionary{{"va", ""}}));

    params.setItemId("x");
    params.setItemId("");  // writing empty keeps the key
    EXPECT_EQ(params.veltoParamsDictionary(), (Dictionary{{"va", ""}, {"ii", ""}}));
}

TEST(VeltoParamsTest, FreePairsAcceptAnyKeyAndTheDictionaryIsASnapshot) {
    VeltoParams params;
    params.put("", "empty key");
    params.put("VA", "not the value property");
    Dictionary snapshot = params.veltoParamsDictionary();
    params.put("later", "x");
    snapshot["injected"] = "y";

    EXPECT_EQ(snapshot.count("later"), 0u);
    EXPECT_EQ(params.veltoParamsDictionary().count("injected"), 0u);
    EXPECT_EQ(params.value(), "");
    EXPECT_EQ(params.veltoParamsDictionary().at(""), "empty key");
}

}  // namespace
}  // namespace VeltoSDK
