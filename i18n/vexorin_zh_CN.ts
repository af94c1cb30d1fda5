<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Messages</name>
    <message>
        <source>Cannot store the signature value '%1' in the confirmed library. Reason: %2</source>
        <translation>无法把特征值“%1”存入确认库。原因：%2</translation>
    </message>
    <message>
        <source>the database refused the write</source>
        <translation>数据库拒绝写入</translation>
    </message>
    <message>
        <source>Cannot delete from the confirmed library. Reason: %1</source>
        <translation>无法从确认库中删除。原因：%1</translation>
    </message>
    <message>
        <source>cannot write the confirmed library '%1'. Reason: %2</source>
        <translation>无法写入确认库“%1”。原因：%2</translation>
    </message>
    <message>
        <source>cannot read the confirmed library '%1'. Reason: %2</source>
        <translation>无法读取确认库“%1”。原因：%2</translation>
    </message>
    <message>
        <source>The database connection is not open. Reason: Cannot open the database '%1'. Reason: %2</source>
        <translation>数据库连接未打开。原因：无法打开数据库“%1”。原因：%2</translation>
    </message>
    <message>
        <source>These files were not recorded:</source>
        <translation>以下文件未被记录：</translation>
    </message>
    <message>
        <source>These files were not renamed:</source>
        <translation>以下文件未被改名：</translation>
    </message>
    <message>
        <source>… and %1 more</source>
        <translation>……另有 %1 个</translation>
    </message>
    <message>
        <source>'%1' is no file type to rename to</source>
        <translation>“%1”不是可用于改名的文件类型</translation>
    </message>
    <message>
        <source>the file could not be renamed</source>
        <translation>无法给文件改名</translation>
    </message>
    <message>
        <source>renamed, but not recorded: %1</source>
        <translation>已改名，但未能记录：%1</translation>
    </message>
    <message>
        <source>an empty path cannot be recorded</source>
        <translation>空路径无法记录</translation>
    </message>
    <message>
        <source>the path '%1' holds a line break, which the list file cannot store</source>
        <translation>路径“%1”含有换行符，列表文件无法保存</translation>
    </message>
    <message>
        <source>the path '%1' begins or ends with a blank, which the list file cannot store</source>
        <translation>路径“%1”以空格开头或结尾，列表文件无法保存</translation>
    </message>
    <message>
        <source>the file name '%1' begins or ends with blanks, which the list file cannot keep</source>
        <translation>文件名“%1”以空格开头或结尾，列表文件无法保存</translation>
    </message>
    <message>
        <source>These files were not taken: their names hold a line break, which the lists cannot store:</source>
        <translation>以下文件未被接受：文件名含有换行符，列表无法保存：</translation>
    </message>
    <message>
        <source>cannot read the confirmed library '%1'</source>
        <translation>无法读取确认库“%1”</translation>
    </message>
    <message>
        <source>not recorded: %1</source>
        <translation>未记录：%1</translation>
    </message>
    <message>
        <source>no entry for '%1'</source>
        <translation>没有“%1”这一项</translation>
    </message>
    <message>
        <source>'%1' not renamed: %2</source>
        <translation>“%1”未改名：%2</translation>
    </message>
    <message>
        <source>'%1' left alone: %2</source>
        <translation>“%1”保持原样：%2</translation>
    </message>
    <message>
        <source>weak match: only %1 digits matched</source>
        <translation>匹配较弱：只匹配了 %1 位</translation>
    </message>
    <message>
        <source>ambiguous: it could also be %1</source>
        <translation>有歧义：也可能是 %1</translation>
    </message>
    <message>
        <source>the confirmed library no longer gives this type</source>
        <translation>确认库已不再给出此类型</translation>
    </message>
    <message>
        <source>'%1' already exists</source>
        <translation>“%1”已存在</translation>
    </message>
    <message>
        <source>no match details: %1</source>
        <translation>无法给出匹配详情：%1</translation>
    </message>
    <message>
        <source>Cannot create the data directory '%1'. Reason: %2</source>
        <translation>无法创建数据目录“%1”。原因：%2</translation>
    </message>
    <message>
        <source>The home page '%1' could not be opened in a web browser. Open this file in your browser:
%2</source>
        <translation>无法用网页浏览器打开主页“%1”。请在浏览器中打开这个文件：
%2</translation>
    </message>
    <message>
        <source>The home page was not found. It is installed with the program in share/doc/vexorin/index.html.</source>
        <translation>找不到主页。它随程序安装在 share/doc/vexorin/index.html。</translation>
    </message>
    <message>
        <source>SQLite database</source>
        <translation>SQLite 数据库</translation>
    </message>
</context>
</TS>
