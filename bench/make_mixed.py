#!/usr/bin/env python3
"""Writes MB megabytes of mixed-script text lines (Latin, Cyrillic, Greek, CJK, Arabic, Hebrew, Devanagari,
Thai, emoji, tabs), or with --line one line of such words with no line break.

usage: make_mixed.py PATH MB [--line]
"""
import random
import sys

path, size = sys.argv[1], int(sys.argv[2]) * 1000 * 1000
one_line = sys.argv[3:] == ["--line"]
words = {
    "latin": "build step output file compile link warning error done total".split(),
    "cyrillic": "сборка файл ошибка готово предупреждение итого".split(),
    "greek": "αρχείο σφάλμα έτοιμο σύνολο προειδοποίηση".split(),
    "cjk": "构建 文件 错误 完成 ファイル エラー 完了 파일 오류".split(),
    "arabic": "ملف خطأ تم المجموع تحذير بناء".split(),
    "hebrew": "קובץ שגיאה הושלם סהכ אזהרה".split(),
    "devanagari": "फ़ाइल त्रुटि पूर्ण कुल चेतावनी".split(),
    "thai": "ไฟล์ ข้อผิดพลาด เสร็จสิ้น ทั้งหมด คำเตือน".split(),
    "emoji": "✅ ❌ 🚀 👍🏽 👨‍👩‍👧 🇫🇷 😀".split(),
}
scripts = list(words)
random.seed(7)
lines = []
for i in range(4096):
    # Mostly one script a line, with Latin and numbers around it, a tab column, and an emoji now and then.
    script = scripts[i % (len(scripts) - 1)]
    parts = [f"{i:5d}", "\t"] + [random.choice(words[script]) for _ in range(3 + i % 9)]
    parts.insert(4, "\t" + random.choice(words["latin"]))
    if i % 4 == 0:
        parts.append(random.choice(words["emoji"]))
    lines.append(" ".join(parts) + ("" if one_line else "\n"))
block = (" " if one_line else "").join(lines).encode()
with open(path, "wb") as out:
    written = 0
    while written < size:
        piece = block[: size - written]
        # whole characters only
        while piece and len(piece) < len(block) and (block[len(piece)] & 0xC0) == 0x80:
            piece = piece[:-1]
        out.write(piece)
        written += len(piece)
        if not piece:
            break
