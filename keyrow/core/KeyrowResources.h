#pragma once
// The control's string resources by id: 1 the control's type name, 2 the property page's,
// 200 the page's caption; an empty text for any other id.

#include <string>

constexpr int kIdsKeyrowTypeName = 1;
constexpr int kIdsKeyrowPropPageTypeName = 2;
constexpr int kIdsKeyrowPropPageCaption = 200;

std::string KeyrowString(int id);
