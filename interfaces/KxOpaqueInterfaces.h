// Runtime interfaces that a module only stores and passes on: the runtime
// defines them and no operation of theirs is called from this side.
#pragma once

class ILibShop;                 // library shop (item 7 or the initialise record)
class ICollecteurTopo;          // topology collector (item 10)
class IInformationComposante;   // component information (item 15)
class IDumpMemoire;             // target of a memory dump (message 5238)
class IVMData;                  // the virtual machine's data (the driver's bSetVMAndLibShop)
class INACopyCtx;               // the runtime's context copy (bCopyContext)
class IGaugeControl;            // the runtime's progress gauge (IGaugeControl.h)

// The SQL runtime's analysis of one query and the runtime's execution
// context of one query are read by the library: their interfaces have
// headers of their own.
#include "INAQueryExecution.h"
#include "ISQLParserInformation.h"
