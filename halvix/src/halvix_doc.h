// The document of Halvix's single-document template: it holds no data.
#pragma once
#include "appkit/frame.h"

class CHalvixDoc : public appkit::Document {};
