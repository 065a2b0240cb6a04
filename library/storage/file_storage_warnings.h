#pragma once
// The words the data-file table uses for what it met in a damaged file,
// shared by every reader of the block format so that all tell it alike.

namespace file_storage_warnings {

inline constexpr char too_many_params[] = "слишком много параметров";
inline constexpr char sector_mismatch[] =
    "В файле были найдены пропуски, которые возникли из-за некорректного редактирования файла. "
    "Данные считаны не полностью";
inline constexpr char resynchronised[] =
    "Файл был повреждён. Программа попыталась найти в нём корректные данные методом последовательного перебора";
inline constexpr char damaged_blocks[] = "В файле найдены повреждённые блоки, они пропущены";
inline constexpr char torn_block[] = "Последний блок файла записан не полностью (запись была прервана), он пропущен";

}  // namespace file_storage_warnings
