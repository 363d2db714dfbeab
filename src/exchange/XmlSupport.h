#pragma once

#include "exchange/XmlReader.h"
#include "exchange/XmlRecords.h"
#include "exchange/XmlWriter.h"

// The writer and the reader of exchange documents in one object, as the export, the tester
// link and the import use them; each role is usable alone (CXmlWriter, CXmlReader).
class CXmlSupport : public CXmlWriter, public CXmlReader {};
