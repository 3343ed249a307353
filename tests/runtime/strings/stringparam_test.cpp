#include "CStringParameter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring W(const CTString& s) { return s.pszGet(); }

struct ReadCase {
  const wchar_t* text;
  const wchar_t* key;
  int found;
  const wchar_t* value;
  const wchar_t* afterCut;  // the text once the pair is cut out
};

// Reading and cutting, each case on a fresh text.
const ReadCase kReadCases[] = {
    {L"Server=abc ; Port = 3306", L"port", 1, L"3306", L"Server=abc ;"},
    {L"X=1;Y=;Z=3", L"Y", 1, L"", L"X=1;Z=3"},
    {L"MyKey;Key=5", L"key", 1, L"5", L"MyKey;"},
    {L"Server Port=3306", L"Port", 1, L"3306", L"Server"},
    {L"X=1; Y=2; Z=3", L"Y", 1, L"2", L"X=1;Z=3"},
    {L"X=1; Y=2; Z=3", L"X", 1, L"1", L"Y=2; Z=3"},
    {L"X=1;Z=3", L"Z", 1, L"3", L"X=1;"},
    {L"  Key = v  ", L"KEY", 1, L"v", L""},
    {L"A=1;X=", L"x", 1, L"", L"A=1;"},  // empty value at the very end
    {L"X=", L"X", 1, L"", L""},
    {L"A=1;B=2", L"W", 0, L"", L"A=1;B=2"},
    {L"Key;Other", L"Key", 0, L"", L"Key;Other"},  // never followed by '='
    {L"", L"X", 0, L"", L""},
    {L"X=1", L"", 0, L"", L"X=1"},
};

TEST(stringparam, ReadAndCutTable) {
  for (const ReadCase& c : kReadCases) {
    SCOPED_TRACE(testing::Message() << "text '" << c.text << "' key '" << c.key << "'");
    CTString text(c.text);
    CTString value(L"stale");
    int found = -1;
    EXPECT_EQ(CStringParameter::s_bGetParameterValue(&value, &found, &text, c.key, 0), 1);
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(W(value), c.value);
    EXPECT_EQ(W(text), c.text) << "reading without cut changed the text";
    EXPECT_EQ(CStringParameter::s_bParameterDefined(&text, c.key), c.found);

    value = L"stale";
    found = -1;
    EXPECT_EQ(CStringParameter::s_bGetParameterValue(&value, &found, &text, c.key, 1), 1);
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(W(value), c.value);
    EXPECT_EQ(W(text), c.afterCut);
  }
}

TEST(stringparam, PositionsOfThePair) {
  CTString text(L"A=1; Key =  vv ;B=2");
  long keyPos = 99, valueStart = 99, valueEnd = 99;
  ASSERT_EQ(CStringParameter::_s_bGetParameterPos(keyPos, valueStart, valueEnd, &text, L"key"),
            1);
  EXPECT_EQ(keyPos, 5);
  EXPECT_EQ(valueStart, 12);
  EXPECT_EQ(valueEnd, 14);  // the trailing space before ';' belongs to the range

  CTString empty(L"X=;Y=1");
  ASSERT_EQ(CStringParameter::_s_bGetParameterPos(keyPos, valueStart, valueEnd, &empty, L"X"), 1);
  EXPECT_EQ(valueStart, 2);
  EXPECT_EQ(valueEnd, 1);

  ASSERT_EQ(CStringParameter::_s_bGetParameterPos(keyPos, valueStart, valueEnd, &text, L"Z"), 0);
  EXPECT_EQ(keyPos, 0);
  EXPECT_EQ(valueStart, -1);
  EXPECT_EQ(valueEnd, -1);
  EXPECT_EQ(CStringParameter::_s_bGetParameterPos(keyPos, valueStart, valueEnd, nullptr, L"Z"), 0);
}

TEST(stringparam, ReplaceTable) {
  struct Case {
    const wchar_t* text;
    const wchar_t* key;
    const wchar_t* value;
    const wchar_t* result;
  };
  const Case cases[] = {
      {L"X=1;Y=22;Z=3", L"Y", L"7", L"X=1;Y=7;Z=3"},
      {L"X=1;Y=22;Z=3", L"W", L"7", L"X=1;Y=22;Z=3;W=7"},
      {L"", L"W", L"7", L"W=7"},
      {L"X=1;Y=;Z=3", L"y", L"new", L"X=1;Y=new;Z=3"},
      {L"X=1;Y=ab  ;Z=3", L"Y", L"c", L"X=1;Y=c;Z=3"},  // trailing spaces replaced too
      {L"A=1;X=", L"X", L"9", L"A=1;X=9"},                // empty value at the very end
      {L"X=1;Y=22", L"Y", nullptr, L"X=1;Y="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "text '" << c.text << "' key '" << c.key << "'");
    CTString text(c.text);
    EXPECT_EQ(CStringParameter::s_bReplaceParameterValue(&text, c.value, c.key), 1);
    EXPECT_EQ(W(text), c.result);
  }
}

TEST(stringparam, ObjectReadsSetsAndCompletes) {
  CStringParameter port(L"Server Port");
  EXPECT_EQ(port.bIsDefined(), 0);

  CTString extended(L"Unix Socket=/tmp/s; server port = 3307 ;Client Flag=2");
  EXPECT_EQ(port.bInitParameterValue(&extended, 1), 1);
  EXPECT_EQ(port.bIsDefined(), 1);
  EXPECT_EQ(W(port.clGetValue()), L"3307");
  EXPECT_EQ(W(extended), L"Unix Socket=/tmp/s;Client Flag=2");

  CTString cs;
  EXPECT_EQ(port.bCompleteConnectionString(&cs), 1);
  EXPECT_EQ(W(cs), L"Server Port=3307");
  EXPECT_EQ(port.bCompleteConnectionString(&cs), 1);
  EXPECT_EQ(W(cs), L"Server Port=3307;Server Port=3307");

  // A key that is absent leaves the parameter undefined and writes nothing.
  CStringParameter absent(L"Missing");
  EXPECT_EQ(absent.bInitParameterValue(&extended, 1), 1);
  EXPECT_EQ(absent.bIsDefined(), 0);
  CTString untouched(L"A=1");
  EXPECT_EQ(absent.bCompleteConnectionString(&untouched), 1);
  EXPECT_EQ(W(untouched), L"A=1");

  port.SetParameterValue(L"12345", 3);
  EXPECT_EQ(W(port.clGetValue()), L"123");
  port.SetParameterValue(L"ab   ", -1);
  EXPECT_EQ(W(port.clGetValue()), L"ab");
  port.SetParameterValue(L"abc", 0);  // an empty value still counts as set
  EXPECT_EQ(port.bIsDefined(), 1);
  EXPECT_EQ(W(port.clGetValue()), L"");
  port.SetParameterValue(nullptr, 5);
  EXPECT_EQ(port.bIsDefined(), 0);
  EXPECT_EQ(W(port.clGetValue()), L"");
}

TEST(stringparam, DirectoryValueGetsOneClosingBackslash) {
  CStringParameter dir(L"Dir");
  dir.SetParameterValueRep(L"C:\\data  ", -1);
  EXPECT_EQ(W(dir.clGetValue()), L"C:\\data\\");
  dir.SetParameterValueRep(L"C:\\data\\", -1);
  EXPECT_EQ(W(dir.clGetValue()), L"C:\\data\\");
  dir.SetParameterValueRep(L"   ", -1);
  EXPECT_EQ(W(dir.clGetValue()), L"");
  EXPECT_EQ(dir.bIsDefined(), 1);
}

}  // namespace
