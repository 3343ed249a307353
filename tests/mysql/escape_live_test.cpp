// The escaped text for a quoted literal, sent to the real server: each
// hostile text stays one literal, whose value the server reads by its
// backslash rules.
#include <gtest/gtest.h>

#include <string>

#include "Escape.h"
#include "TestSupport.h"
#include "XMalloc.h"
#include "MariaDbClient.h"

namespace {

// What the server makes of the text between the quotes of a literal (the
// default SQL mode, where a backslash escapes the next character).
std::string ServerValue(const std::string& text) {
  std::string value;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      value += text[i];
      continue;
    }
    const char n = text[++i];
    switch (n) {
      case '0': value += '\0'; break;
      case 'b': value += '\b'; break;
      case 'n': value += '\n'; break;
      case 'r': value += '\r'; break;
      case 't': value += '\t'; break;
      case 'Z': value += '\x1A'; break;
      case '%':
      case '_': value += '\\'; value += n; break;  // kept for LIKE
      default: value += n; break;                  // \\ \' \" and the rest
    }
  }
  return value;
}

TEST(escapelive, VerrueEscapeMySQLGivesOneLiteral) {
  kxtest::MariaDbConnection c;
  std::string failure;
  ASSERT_TRUE(kxtest::ReadMariaDbConnection(c, failure)) << failure;
  kxtest::MariaDbClient client;
  ASSERT_TRUE(client.bLoaded()) << client.LoadError();
  void* mysql = client.Connect(c, failure);
  ASSERT_NE(mysql, nullptr) << failure;

  const std::string injection = "x\\\\' OR 1=1 -- ";
  const char* const hostile[] = {injection.c_str(), "\\\\'", "a\\\\\\\\'", "''",
                                 "\\'", "ab\\", "\\\\\\"};
  for (const char* src : hostile) {
    char* escaped = pszVerrueEscapeMySQL(src, L'\\');
    ASSERT_NE(escaped, nullptr) << src;
    const std::string text = escaped;
    XMALLOC_Del_(escaped);

    kxtest::MariaDbClient::Result result;
    ASSERT_TRUE(client.Query(mysql, "SELECT '" + text + "'", result, failure))
        << src << " -> " << text << ": " << failure;
    ASSERT_EQ(result.fields, 1u) << src;
    ASSERT_EQ(result.rows.size(), 1u) << src;
    ASSERT_TRUE(result.rows[0][0].has_value()) << src;
    const std::string value = *result.rows[0][0];
    EXPECT_EQ(value, ServerValue(text)) << src << " -> " << text;
    if (src == injection) {
      const std::string tail = "OR 1=1 -- ";
      ASSERT_GE(value.size(), tail.size()) << value;
      EXPECT_EQ(value.substr(value.size() - tail.size()), tail) << value;
    }
  }
  client.Close(mysql);
}

}  // namespace
