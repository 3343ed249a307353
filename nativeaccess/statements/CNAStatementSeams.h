// What a statement (CNAStatement) holds of the searches, filters and saved
// positions of a parse: the user search (by value), the filter and its
// saved copy, and the saved positions. The search itself is CNARecherche
// (CNARecherche.h, included by CNAFilter.h).
#pragma once

#include "CNAFilter.h"
#include "CNAFilterSave.h"
#include "CNAPosition.h"
#include "CNAUserSearch.h"
