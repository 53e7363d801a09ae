// The files a form's external instances are read from.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "base/result.h"
#include "rules/form.h"

namespace tolvar {

// Where attached files are: file names each with the path to read, and a
// folder to look in for the others. Both empty: nothing is attached.
struct Attachments {
  std::map<std::string, std::string, std::less<>> files;
  std::string folder;
};

// Reads the file of every external instance of the form that has one
// attached (an <instance> with src "jr://file/NAME" or "jr://file-csv/NAME"
// and nothing inside) into that instance: a CSV file as read_csv_table
// builds it, an XML file as its document. A file the folder does not hold,
// or of another kind, stays unloaded, and the rules that read it refuse.
// Fails with "attachments: '{folder}' is not a folder", read_source's
// message (named NAME) for a file that cannot be read, and "{path}: line
// {n}: …" for a malformed CSV file or "{path}: {message}" for malformed XML.
Status attach_files(Form& form, const Attachments& attachments);

}  // namespace tolvar
