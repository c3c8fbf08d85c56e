#include "ServerRows.h"

ServerRows::ServerRows(std::unique_ptr<LoadHistory> history) : owned_(std::move(history)), history_(*owned_) {}
ServerRows::ServerRows(LoadHistory& history) : history_(history) {}
