// A workspace document as JSON, in the shape scripts and other tools rely on: header, geometry,
// remap, ports, view (each value as [Qt 3 type name, value]), components with their state in
// hexadecimal, and recallEnabled and thru when the document's minor version has them. A null
// string is JSON null.
#pragma once

#include "TWorkspaceDocument.h"

#include <QJsonObject>

QJsonObject documentJson(const xdw::Document& document);
