// IInfoSelect: the SELECT part of a parsed query (the parser's lists of
// output items, FROM tables, ORDER BY, GROUP BY, UPDATE and INSERT items).
// Borrowed from the parser information (its slot 12): valid while that
// lives; never counted or given back.
//
// Used by slot number. The enumerations take 1 for the first element and 0
// for the next and answer null at the end; they take no reference for the
// caller (a holder of an output item, FROM table or ORDER BY item takes its
// own with SQLParser_AddRef; GROUP BY, UPDATE and INSERT items are
// borrowed).
#pragma once

class IInfoAffectation;
class IInfoFrom;
class IInfoGroupe;
class IInfoInsertion;
class IInfoOrderBy;
class IInfoRubrique;

class IInfoSelect {
 public:
  virtual IInfoRubrique* piEnumRubriqueOUT(int first) = 0;  // 0
  virtual void _Reserved1() = 0;                             // 1
  virtual void _Reserved2() = 0;                             // 2
  virtual void _Reserved3() = 0;                             // 3
  // 4: number of GROUP BY items.
  virtual int nGetGroupeNbr() = 0;
  virtual void _Reserved5() = 0;                             // 5
  virtual IInfoFrom* piEnumFichierFrom(int first) = 0;       // 6
  virtual IInfoOrderBy* piEnumOrderBy(int first) = 0;        // 7
  virtual IInfoGroupe* piEnumGroupe(int first) = 0;          // 8
  virtual void _Reserved9() = 0;                             // 9
  virtual void _Reserved10() = 0;                            // 10
  virtual void _Reserved11() = 0;                            // 11
  virtual void _Reserved12() = 0;                            // 12
  virtual void _Reserved13() = 0;                            // 13
  virtual void _Reserved14() = 0;                            // 14
  virtual void _Reserved15() = 0;                            // 15
  virtual void _Reserved16() = 0;                            // 16
  virtual IInfoAffectation* piEnumAffectation(int first) = 0;  // 17: UPDATE items
  virtual IInfoInsertion* piEnumInsertion(int first) = 0;      // 18: INSERT items

 protected:
  ~IInfoSelect() = default;
};
