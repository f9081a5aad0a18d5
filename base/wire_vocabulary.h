// The names of the update query on the wire, spelled once for the client
// (service/update_request.cpp, service/update_reply.cpp) and the reference
// service (server/update_request.cpp, server/update_reply.cpp,
// server/update_query.cpp). Deployed services and clients of every version
// speak them: none may change.
//
// The request is a multipart/form-data POST with one part, `driversm`,
// holding a zlib stream of this document (XML, texts in the client's ANSI
// code page, the IDs in CDATA sections, a list one ID a line):
//
//   <driversm>
//     <action>ACTION_UPDATE_DRIVER</action>
//     <client version="" os="WIN764" lang="437" model="..." build="7601"
//             uilang="0411"/>
//     <hardwares>
//       <hardware>
//         <id/> <matchid/> <hardids/> <compids/>
//       </hardware> ...
//     </hardwares>
//   </driversm>
//
// `lang` is the client's OEM code page, which the reply's texts are written
// in; `build` is left out when unknown. `uilang` is the client's
// user-interface language, a LANGID in four hexadecimal digits, for the
// texts an INF's [Strings.LLLL] sections give in that language; older
// clients send none, and services that do not know it ignore it, as they
// ignore any attribute they do not read. The reply names each device by its
// `id` again and gives its offers:
//
//   <driversm><hardwares>
//     <hardware><id/>
//       <item> <hardid/> <title/> <ver/> <size/> <guid/> <link/> <infpath/>
//              <official_link/> <cp/> <manu/> <sign/> <feature/> <targetos/>
//              <date/> <desc/> [<sha256/>] [<minisig/>] </item> ...
//     </hardware> ...
//   </hardwares></driversm>
#pragma once

namespace quillary::wire {

// The form part that carries the request, and the root of both documents.
inline constexpr char form_part[] = "driversm";
inline constexpr char root_element[] = "driversm";

// The request.
inline constexpr char action_element[] = "action";
inline constexpr char update_action[] = "ACTION_UPDATE_DRIVER";
inline constexpr char client_element[] = "client";
inline constexpr char version_attribute[] = "version";
inline constexpr char os_attribute[] = "os";
inline constexpr char code_page_attribute[] = "lang";
inline constexpr char model_attribute[] = "model";
inline constexpr char build_attribute[] = "build";
inline constexpr char ui_language_attribute[] = "uilang";

// Both: the devices, each named by its ID.
inline constexpr char devices_element[] = "hardwares";
inline constexpr char device_element[] = "hardware";
inline constexpr char device_id_element[] = "id";

// The request's device.
inline constexpr char matching_id_element[] = "matchid";
inline constexpr char hardware_ids_element[] = "hardids";
inline constexpr char compatible_ids_element[] = "compids";

// The reply's offers, in the order the service writes an item's fields.
inline constexpr char item_element[] = "item";
inline constexpr char item_hardware_id[] = "hardid";
inline constexpr char item_title[] = "title";
inline constexpr char item_version[] = "ver";
inline constexpr char item_size[] = "size";
inline constexpr char item_class_guid[] = "guid";
inline constexpr char item_link[] = "link";
inline constexpr char item_inf_path[] = "infpath";
inline constexpr char item_official_link[] = "official_link";
inline constexpr char item_rank[] = "cp";
inline constexpr char item_manufacturer[] = "manu";
inline constexpr char item_signed[] = "sign";
inline constexpr char item_feature[] = "feature";
inline constexpr char item_target_os[] = "targetos";
inline constexpr char item_date[] = "date";
inline constexpr char item_description[] = "desc";
inline constexpr char item_sha256[] = "sha256";
inline constexpr char item_minisig[] = "minisig";

}  // namespace quillary::wire
