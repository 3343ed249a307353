// A browse continuing from a generic search on a partial date, run on the
// fixture's server: the DATETIME(3) and DATE columns hold rows at the edges
// of the periods searched (the last millisecond before a year, a month, an
// hour; the first one of it; 9999-01-01 and 9999-12-31). After the period
// the server must return exactly the rows past its last instant, before
// it exactly the rows before its first one (NULL rows first), the
// equality exactly the rows inside. The DATE column is described
// descending, so its "after" runs towards earlier days.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "condlive_support.h"

namespace {

using namespace kxcondlive;

class condexpr_datecontinue_live : public CondLiveTest {};

TEST_F(condexpr_datecontinue_live, ContinuingPastAPartialDate) {
  struct P {
    int c;
    const wchar_t* pszPrefix;
    const char* pszDigits;
  };
  const std::vector<P> cases = {
      {DT, L"2023", "2023"},         {DT, L"202302", "202302"}, {DT, L"2023022715", "2023022715"},
      {DT, L"202301312359", "202301312359"}, {DT, L"9999", "9999"}, {DT, L"99991231", "99991231"},
      {D, L"2023", "2023"},          {D, L"202302", "202302"},  {D, L"9999", "9999"},
      {D, L"999912", "999912"},
  };
  for (const P& p : cases) {
    const std::string name = std::string("continuing ") + (p.c == DT ? "datetime " : "descending date ") + p.pszDigits;
    SCOPED_TRACE(name);
    Check(name, p.c, Wide(p.pszPrefix), 0, Reference(p.c, false, p.pszDigits, true));
  }
}

}  // namespace
