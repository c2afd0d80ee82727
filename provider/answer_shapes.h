// The shapes of the webmail answers: the result code around them, and the
// folder and message objects in the neat and the field style.
//
// Neat folder:   {'id':1,'name':'收件箱','messageCount':2,'messageSize':3100,
//                 'unreadMessageCount':1,'unreadMessageSize':1500,'threadCount':2,'unreadThreadCount':1}
// Field folder:  the same id and name, then 'parent', 'keepPeriod', 'expirytime',
//                and the six counters inside a nested 'stats' object.
// Neat message:  {'id':'...','fid':1,'size':2048,'from':'...','to':'...','subject':'...',
//                 'sentDate':new Date(2026,0,5,9,30,0),'receivedDate':new Date(...),'priority':3,
//                 'backgroundColor':0,'antiVirusStatus':'','label0':0,
//                 'flags':{'read':false,'draft':false,'attached':true}}
// Field message: the same members up to 'label0'; flags hold 'read' and
//                'attached' only when true, beside 'system' and 'report';
//                then 'hmid' and 'ctrls'.
// Neat read:     {'id':'...','subject':'...','text':{'content':'...'},
//                 'attachments':[{'id':3,'filename':'...','contentLength':N}]}
// Field read:    the same and more, in another order: 'fid', 'size',
//                'attachments' (with 'contentType' and 'estimateSize'),
//                'sentDate', 'from', 'to', 'subject', 'text' (with
//                'contentType' and 'contentLength'), 'id', 'priority';
//                texts with everything beyond ASCII as \uXXXX.
#pragma once

#include <string_view>

#include "fault.h"
#include "script_writer.h"
#include "store.h"

namespace provider {

// "{'code':'S_OK'" : the caller adds 'var' when it has one, then EndAnswer.
void BeginOkAnswer(ScriptWriter& writer);
void EndAnswer(ScriptWriter& writer);
// {'code':'FA_...'} alone.
std::string FaultAnswer(AnswerStyle style, Fault fault);

void WriteFolder(ScriptWriter& writer, const FolderListing& folder);
void WriteMessage(ScriptWriter& writer, const MessageRecord& message, std::size_t summaryWindow = 0);
// A whole listing answer: 'var' with the page's messages, then 'total'
// when asked for (the field style always writes it). A summary window above
// 0 gives each message a last member 'summary': the first that many
// characters (code points) of its text.
void WriteMessagePage(ScriptWriter& writer, const MessagePage& page, bool withTotal, std::size_t summaryWindow = 0);
// The first `characters` code points of UTF-8 text (a broken sequence
// counts as one character per byte).
std::string_view LeadingCharacters(std::string_view text, std::size_t characters);
// The 'var' of mbox:readMessage.
void WriteReadMessage(ScriptWriter& writer, const MessageRecord& message);

}  // namespace provider
