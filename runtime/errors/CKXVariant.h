// Captions used when typed query values are written into a dump text: the
// headings of a value's type, its value and the notes for a value that could
// not be converted.
//
// The captions are process-wide texts, each a wide string from XMALLOC_pNew_
// or null. They stay null until InitQueryDumpRessources fills them; the
// library's common end frees them with FreeQueryDumpRessources. Nothing here
// takes a lock: both run on the thread that starts or ends the library.
#pragma once

class CKXVariant {
 public:
  // Fills every caption from the library's message of its identifier, or
  // with its built-in text when that message has no text:
  //   s_pszDumpTNType            25675  "Type Tarnel"
  //   s_pszDumpADOType           25680  "Type ADO"
  //   s_pszDumpValue             25670  "Valeur"
  //   s_pszDumpTime              25669  "Heure"
  //   s_pszDumpDate              25671  "Date"
  //   s_pszDumpConvFailed_Text   25674  "Echec de la conversion de la valeur en texte."
  //   s_pszDumpConvFailed_Date   25672  "Echec de la conversion de la valeur en date"
  //   s_pszDumpConvFailed_Time   25673  "Echec de la conversion de la valeur en heure"
  // A caption already set is replaced (its old text freed), so a second call
  // loses nothing. A caption whose copy cannot be allocated is left null.
  static void InitQueryDumpRessources();

  // Frees every caption that is set and resets it to null; harmless when
  // nothing is set.
  static void FreeQueryDumpRessources();

  static wchar_t* s_pszDumpTNType;
  static wchar_t* s_pszDumpADOType;
  static wchar_t* s_pszDumpValue;
  static wchar_t* s_pszDumpTime;
  static wchar_t* s_pszDumpDate;
  static wchar_t* s_pszDumpConvFailed_Text;
  static wchar_t* s_pszDumpConvFailed_Date;
  static wchar_t* s_pszDumpConvFailed_Time;
};
