#include "studio/form.h"

#include <gtest/gtest.h>

#include "study/study_file.h"

namespace {

using nlohmann::json;

const std::vector<std::string> kFoils = {"naca4412", "sg6043", "naca4432", "myfoil"};

// The README's example: 3 blades, hub 0.15 m, tip 1.5 m, 10 elements, setting 0, SG6043, site
// 5 m/s, solid wood, variable speed 3/20/5/10/0, STL.
json example() {
  return {{"Numb", 3},   {"rhub", "0.15"},    {"rtip", 1.5},
          {"nbe", "10"}, {"pitchinitial", 0}, {"aerofoil", "sg6043"},
          {"Umid", 5},   {"blade_type", 1},   {"material", 1},
          {"type", 1},   {"Ucin", 3},         {"Ucout", "20"},
          {"h", 10},     {"SeaL", 0}};
}

// The form's answers become the session's answers in the dialogue's order, ending with the STL
// export and the stop: for the example, the README's own line of answers.
TEST(StudioForm, AnswersInTheDialoguesOrder) {
  struct Case {
    const char* what;
    json change;
    const char* answers;
  };
  const Case cases[] = {
      {"README example", json::object(),
       "3\n0.15\n1.5\n10\n0\n2\n5\n1\n1\n1\n3\n20\n5\n10\n0\n6\n0\n"},
      {"hollow carbon, two speeds",
       {{"blade_type", 2}, {"delta", "1.5"}, {"material", 4}, {"type", 2}, {"omega1", 120}},
       "3\n0.15\n1.5\n10\n0\n2\n5\n2\n1.5\n4\n2\n3\n20\n5\n10\n0\n120\n6\n0\n"},
      {"pitch with limit, imported aerofoil",
       {{"type", 4}, {"omega", 300}, {"MPL", "1500"}, {"aerofoil", "myfoil"}},
       "3\n0.15\n1.5\n10\n0\n4\n5\n1\n1\n4\n3\n20\n5\n10\n0\n300\n1500\n6\n0\n"},
      {"constant speed, setting and altitude",
       {{"type", 3}, {"omega", 200}, {"pitchinitial", "-2.5"}, {"SeaL", "1200"}},
       "3\n0.15\n1.5\n10\n-2.5\n2\n5\n1\n1\n3\n3\n20\n5\n10\n1200\n200\n6\n0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    json body = example();
    body.update(c.change);
    const studio::Form f = studio::read_form(body, kFoils);
    ASSERT_TRUE(f.ok()) << f.refusals.front().message;
    EXPECT_EQ(study::answers(f.design), c.answers);
  }
}

// Every refusal names its field and says why in rotorforge's own words where the answer has a
// rule; a comma is refused as such, never read as the end of the number.
TEST(StudioForm, RefusalsInTheConsolesWords) {
  struct Case {
    json change;
    const char* field;
    const char* message;
  };
  const Case cases[] = {
      {{{"Numb", 0}}, "Numb", "Numb must be a whole number of at least 1; please enter it again."},
      {{{"Numb", "2.5"}},
       "Numb",
       "Numb must be a whole number of at least 1; please enter it again."},
      {{{"nbe", 10001}},
       "nbe",
       "nbe must be a whole number from 1 to 10000; please enter it again."},
      {{{"Numb", 1e300}}, "Numb", "Numb is too large"},
      {{{"rhub", "-0.1"}}, "rhub", "rhub must be 0 or more; please enter it again."},
      {{{"rtip", "0.15"}}, "rtip", "rtip must be greater than rhub; please enter it again."},
      {{{"rhub", "0,15"}}, "rhub", "rhub: write the decimal point as a point, not a comma (0,15)"},
      {{{"Umid", 0}}, "Umid", "Umid must be greater than 0; please enter it again."},
      {{{"Ucout", 3}}, "Ucout", "Ucout must be greater than Ucin; please enter it again."},
      {{{"h", 0.025}}, "h", "h must be greater than 0.025 m; please enter it again."},
      {{{"SeaL", 44307.7}}, "SeaL", "SeaL must be below 44307.69 m; please enter it again."},
      {{{"blade_type", 2}, {"delta", -1}},
       "delta",
       "delta must be 0 or more; please enter it again."},
      {{{"blade_type", 2}}, "delta", "delta is missing"},
      {{{"type", 4}, {"omega", 300}}, "MPL", "MPL is missing"},
      {{{"type", 2}, {"omega1", "fast"}}, "omega1", "omega1 must be a number, not \"fast\""},
      {{{"type", 3}, {"omega", "inf"}}, "omega", "omega must be a number, not \"inf\""},
      {{{"type", 5}}, "type", "type must be a whole number from 1 to 4"},
      {{{"material", 6}}, "material", "material must be a whole number from 1 to 5"},
      {{{"aerofoil", "../etc"}}, "aerofoil", "aerofoil must be one of the list"},
      {{{"pitchinitial", json::array()}}, "pitchinitial", "pitchinitial must be a number"},
      {{{"name", std::string(81, 'x')}}, "name", "name must be text of at most 80 characters"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change.dump());
    json body = example();
    body.update(c.change);
    const studio::Form f = studio::read_form(body, kFoils);
    ASSERT_EQ(f.refusals.size(), 1u);
    EXPECT_EQ(f.refusals[0].field, c.field);
    EXPECT_EQ(f.refusals[0].message, c.message);
  }
  EXPECT_FALSE(studio::read_form(json::array({1, 2}), kFoils).ok());
  // A missing answer is refused with the others; an answer needed only by another turbine type
  // is not asked.
  json partial = example();
  partial.erase("Numb");
  partial.erase("SeaL");
  partial["MPL"] = -5;
  EXPECT_EQ(studio::read_form(partial, kFoils).refusals.size(), 2u);
}

// The page's copy of the rules: the same words and bounds by which the server refuses.
TEST(StudioForm, RulesForThePage) {
  const json r = studio::rules_json(kFoils);
  std::map<std::string, json> fields;
  for (const json& f : r["fields"]) fields[f["key"]] = f;
  ASSERT_EQ(fields.size(), 14u);
  EXPECT_EQ(fields["Ucin"]["message"], "Ucin must be greater than 0; please enter it again.");
  EXPECT_EQ(fields["Ucin"]["low"]["value"], 0.0);
  EXPECT_FALSE(fields["Ucin"]["low"]["included"]);
  EXPECT_EQ(fields["nbe"]["high"]["value"], 10000.0);
  EXPECT_TRUE(fields["nbe"]["whole"]);
  EXPECT_EQ(fields["rtip"]["above"], "rhub");
  // 288 K over the single-precision lapse rate 0.006500000134110451 K/m.
  EXPECT_NEAR(fields["SeaL"]["high"]["value"].get<double>(), 44307.6913935, 1e-6);
  // The roughness 0.025f as a double.
  EXPECT_EQ(fields["h"]["low"]["value"], 0.02500000037252903);
  EXPECT_EQ(fields["MPL"]["types"], json::array({4}));
  EXPECT_EQ(r["aerofoils"][1]["name"], "sg6043");
  EXPECT_EQ(r["aerofoils"][3]["name"], "myfoil");
  EXPECT_FALSE(r["aerofoils"][3]["shipped"]);
  EXPECT_EQ(r["materials"][2]["name"], "s-glass");
}

}  // namespace
