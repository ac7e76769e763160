// The text route's options as IPP attributes: CUPS's own names where its
// text filters have them (cpi, lpi, wrap, page-left ...), the driver's for
// the rest, each with its printer default on the web page.
#pragma once

#include <pappl/pappl.h>

#include <span>
#include <string>

#include "messages/messages.h"
#include "text/text_job.h"

namespace zova::app {

// The attributes' names, for the driver's vendor list.
std::span<const char* const> TextOptionNames();

// Adds "NAME-supported" (but for charset) and "NAME-default" of each.
void AddTextAttributes(ipp_t* attrs);

// The options' and keywords' labels, as a strings file for the web pages.
std::string TextLabels();

// The job's text options: its own, else the printer's default, else the
// filter's. A bad value is warned of and the next one printed with.
text::TextOptions TextOptionsOf(pappl_job_t* job, const pappl_pr_options_t* options,
                                Messages& messages);

}  // namespace zova::app
