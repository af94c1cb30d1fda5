<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Messages</name>
    <message>
        <source>library export writes csv or json, not %1</source>
        <translation>library export 只写 csv 或 json，不写 %1</translation>
    </message>
    <message>
        <source>library import takes a FILE or --starter, not both</source>
        <translation>library import 接受 FILE 或 --starter，不能两者都给</translation>
    </message>
    <message>
        <source>the starter set '%1' is not installed beside the program</source>
        <translation>常用特征值集“%1”没有随程序安装</translation>
    </message>
    <message>
        <source>library import needs a FILE (or --starter)</source>
        <translation>library import 需要一个 FILE（或 --starter）</translation>
    </message>
    <message>
        <source>conflict: %1</source>
        <translation>冲突：%1</translation>
    </message>
    <message>
        <source>warning: %1</source>
        <translation>警告：%1</translation>
    </message>
    <message>
        <source>nothing imported: %1 bad rows (--skip-bad imports the other rows)</source>
        <translation>什么也没有导入：有 %1 个错误行（--skip-bad 可导入其余各行）</translation>
    </message>
    <message>
        <source>restore takes --list or a GENERATION, not both</source>
        <translation>restore 接受 --list 或 GENERATION，不能两者都给</translation>
    </message>
    <message>
        <source>restored the generation %1</source>
        <translation>已恢复 %1 的版本</translation>
    </message>
    <message>
        <source>no record of '%1'</source>
        <translation>没有“%1”的记录</translation>
    </message>
    <message>
        <source>Check or select the rows whose answers you want explained.</source>
        <translation>请先勾选或选中要查看其识别依据的行。</translation>
    </message>
    <message>
        <source>no match details</source>
        <translation>没有匹配详情</translation>
    </message>
    <message>
        <source>%1 files renamed back to their old names.</source>
        <translation>%1 个文件已改回原来的名字。</translation>
    </message>
    <message>
        <source>cannot read the folder '%1'. Reason: %2</source>
        <translation>无法读取文件夹“%1”。原因：%2</translation>
    </message>
    <message>
        <source>'%1' holds a NUL byte, which no file name can hold (paths separated by NUL need -0)</source>
        <translation>“%1”含有 NUL 字节，文件名中不能有它（以 NUL 分隔的路径需要 -0）</translation>
    </message>
    <message>
        <source>'%1' not recorded: %2</source>
        <translation>“%1”未记录：%2</translation>
    </message>
    <message>
        <source>cannot read '%1': %2</source>
        <translation>无法读取“%1”：%2</translation>
    </message>
    <message>
        <source>Cannot confirm the signature value '%1' as '%2'. Reason: %3</source>
        <translation>无法把特征值“%1”确认为“%2”。原因：%3</translation>
    </message>
    <message>
        <source>the signature value is empty</source>
        <translation>特征值为空</translation>
    </message>
    <message>
        <source>the signature value holds blanks; write its hexadecimal digits without spaces</source>
        <translation>特征值含有空白；请写出不带空格的十六进制数字</translation>
    </message>
    <message>
        <source>the signature value starts with '0x'; write its hexadecimal digits alone</source>
        <translation>特征值以“0x”开头；请只写出它的十六进制数字</translation>
    </message>
    <message>
        <source>the signature value holds a character that is no hexadecimal digit</source>
        <translation>特征值含有不是十六进制数字的字符</translation>
    </message>
    <message>
        <source>the signature value holds '%1', which is no hexadecimal digit</source>
        <translation>特征值含有“%1”，它不是十六进制数字</translation>
    </message>
    <message>
        <source>the signature value has %1 hexadecimal digits; at least %2 are needed</source>
        <translation>特征值有 %1 个十六进制数字；至少需要 %2 个</translation>
    </message>
    <message>
        <source>the signature value has %1 hexadecimal digits; at most %2 are read from a file, and a longer value is not cut</source>
        <translation>特征值有 %1 个十六进制数字；从文件中最多读取 %2 个，更长的值不会被截断</translation>
    </message>
    <message>
        <source>the file type is empty</source>
        <translation>文件类型为空</translation>
    </message>
    <message>
        <source>the file type is not valid UTF-8 text</source>
        <translation>文件类型不是有效的 UTF-8 文本</translation>
    </message>
    <message>
        <source>the file type holds '/', which no file name can hold</source>
        <translation>文件类型含有“/”，文件名中不能有这个字符</translation>
    </message>
    <message>
        <source>the file type holds a control character</source>
        <translation>文件类型含有控制字符</translation>
    </message>
    <message>
        <source>the file type has %1 characters; at most %2 fit</source>
        <translation>文件类型有 %1 个字符；最多只能有 %2 个</translation>
    </message>
    <message>
        <source>'%1' is what identification answers when nothing matches</source>
        <translation>“%1”是识别不到任何匹配时的回答</translation>
    </message>
    <message>
        <source>it is no longer in the identification list</source>
        <translation>它已不在识别列表中</translation>
    </message>
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
    <message>
        <source>Another run is writing to the stores in '%1'; waiting for it to finish.</source>
        <translation>另一个程序正在写入“%1”中的数据，正在等它写完……</translation>
    </message>
    <message>
        <source>Another run is writing to the confirmed library; waiting for it to finish.</source>
        <translation>另一个程序正在写入确认库，正在等它写完……</translation>
    </message>
    <message>
        <source>added %1, skipped %2, conflicts %3, bad rows %4</source>
        <translation>新增 %1，跳过 %2，冲突 %3，错误行 %4</translation>
    </message>
    <message>
        <source>%1: %2.</source>
        <translation>%1：%2。</translation>
    </message>
    <message>
        <source>These rows hold a value the library has with another type; the library keeps its type:</source>
        <translation>以下各行的特征值在确认库中已存为其他类型，确认库保留原类型：</translation>
    </message>
    <message>
        <source>These rows were left out:</source>
        <translation>以下各行未导入：</translation>
    </message>
    <message>
        <source>These rows cannot be imported:</source>
        <translation>以下各行无法导入：</translation>
    </message>
    <message>
        <source>Import the other rows and leave these out?</source>
        <translation>导入其余各行，略过这些行吗？</translation>
    </message>
    <message>
        <source>Imported '%1'</source>
        <translation>已导入“%1”</translation>
    </message>
    <message>
        <source>The starter set '%1' is not installed beside the program.</source>
        <translation>常用文件特征值“%1”没有随程序安装。</translation>
    </message>
    <message>
        <source>Imported the starter set</source>
        <translation>已导入常用文件特征值</translation>
    </message>
    <message>
        <source>Exported %1 signature values to '%2'.</source>
        <translation>已把 %1 个特征值导出到“%2”。</translation>
    </message>
    <message>
        <source>experiment library</source>
        <translation>实验库</translation>
    </message>
    <message>
        <source>confirmed library</source>
        <translation>确认库</translation>
    </message>
    <message>
        <source>identification list</source>
        <translation>判断列表</translation>
    </message>
    <message>
        <source>The %1 as it is now is kept, so this too can be taken back the same way.</source>
        <translation>现在的%1也会保留一份，所以这次恢复同样可以撤回。</translation>
    </message>
    <message>
        <source>Bring back the %1 as it was at %2?</source>
        <translation>把%1恢复到 %2 时的样子吗？</translation>
    </message>
    <message>
        <source>Which earlier %1 shall be brought back? Newest first:</source>
        <translation>要恢复哪一份早先的%1？最新的在前：</translation>
    </message>
    <message>
        <source>There is nothing to bring back: no earlier %1 has been kept. One is kept each time it is cleared or entries are deleted.</source>
        <translation>没有可恢复的内容：还没有保留过早先的%1。每次清空或删除时都会保留一份。</translation>
    </message>
    <message>
        <source>Brought back the %1 as it was at %2.</source>
        <translation>已把%1恢复到 %2 时的样子。</translation>
        <source>shares its first %1 digits with record %2 (%3, %4)</source>
        <translation>与记录 %2（%3，%4）的前 %1 位相同</translation>
    </message>
    <message>
        <source>extends record %1 (%2, %3): files beginning with %4 were identified as %2 and now as %5</source>
        <translation>延长了记录 %1（%2，%3）：以 %4 开头的文件原被判断为 %2，现在成为 %5</translation>
    </message>
    <message>
        <source>is the beginning of record %1 (%2, %3), which comes first and keeps answering the files this value would match</source>
        <translation>是记录 %1（%2，%3）的开头；该记录在前，仍回答本值所能匹配的文件</translation>
    </message>
    <message>
        <source>is held by record %1 (%2) too, which comes first and answers its files</source>
        <translation>也由记录 %1（%2）持有；该记录在前，由它回答这些文件</translation>
    </message>
    <message>
        <source>… and %1 more records of other types</source>
        <translation>……另有 %1 条其他类型的记录</translation>
    </message>
    <message>
        <source>shares its first %1 digits with sampled files seen as %2</source>
        <translation>与实验库中文件类为 %2 的文件的前 %1 位相同</translation>
    </message>
    <message>
        <source>The signature value %1 was stored as %2, but it:</source>
        <translation>特征值 %1 已作为 %2 存入，但它：</translation>
    </message>
    <message>
        <source>%1 conflicts among %2 records</source>
        <translation>%2 条记录中有 %1 处冲突</translation>
    </message>
    <message>
        <source>it is no longer under its new name: %1</source>
        <translation>它已不在新名称下：%1</translation>
    </message>
    <message>
        <source>it changed since the rename (its signature value is now %1, was %2)</source>
        <translation>改名后它已改变（特征值现在是 %1，原为 %2）</translation>
    </message>
    <message>
        <source>it cannot go back to '%1': %2</source>
        <translation>无法改回“%1”：%2</translation>
    </message>
    <message>
        <source>'%1' not renamed back: %2</source>
        <translation>“%1”未改回原名：%2</translation>
    </message>
    <message>
        <source>no rename to take back</source>
        <translation>没有可撤销的改名</translation>
    </message>
    <message>
        <source>%1 files recorded in the experiment library</source>
        <translation>已在实验库中记录 %1 个文件</translation>
    </message>
    <message>
        <source>%1 files identified (nothing recorded)</source>
        <translation>已识别 %1 个文件（未记录任何内容）</translation>
    </message>
    <message>
        <source>%1 files identified</source>
        <translation>已识别 %1 个文件</translation>
    </message>
    <message>
        <source>%1 files renamed back</source>
        <translation>已改回原名 %1 个文件</translation>
    </message>
    <message>
        <source>%1 files would be renamed (nothing changed)</source>
        <translation>将改名 %1 个文件（未做任何更改）</translation>
    </message>
    <message>
        <source>%1 files renamed</source>
        <translation>已改名 %1 个文件</translation>
    </message>
    <message>
        <source>Cannot save '%1'. Reason: %2</source>
        <translation>无法保存“%1”。原因：%2</translation>
    </message>
    <message>
        <source>another program changed it while this one was recording</source>
        <translation>记录期间另一个程序修改了它</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Tells what kind of file a file really is from its first bytes.
Works on the same stores as the desktop program: data.mdb, set.ini and setok.ini in the data directory.</source>
        <translation>根据文件开头的字节判断文件的真实类型。
与桌面程序使用同样的存储：数据目录中的 data.mdb、set.ini 和 setok.ini。</translation>
    </message>
    <message>
        <source>Usage</source>
        <translation>用法</translation>
    </message>
    <message>
        <source>OPTIONS</source>
        <translation>选项</translation>
    </message>
    <message>
        <source>SUBCOMMAND</source>
        <translation>子命令</translation>
    </message>
    <message>
        <source>SUBCOMMANDS</source>
        <translation>子命令</translation>
    </message>
    <message>
        <source>REQUIRED</source>
        <translation>必需</translation>
    </message>
    <message>
        <source>Positionals</source>
        <translation>位置参数</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>选项</translation>
    </message>
    <message>
        <source>Subcommands</source>
        <translation>子命令</translation>
    </message>
    <message>
        <source>experiment library</source>
        <translation>实验库</translation>
    </message>
    <message>
        <source>identification list</source>
        <translation>识别列表</translation>
    </message>
    <message>
        <source>%1 ('-': read them from standard input)</source>
        <translation>%1（“-”：从标准输入读取）</translation>
    </message>
    <message>
        <source>'%1' is not a command (vexorin-cli --help lists them)</source>
        <translation>“%1”不是命令（vexorin-cli --help 列出所有命令）</translation>
    </message>
    <message>
        <source>'%1' is not a command; did you mean '%2'? (vexorin-cli --help lists them)</source>
        <translation>“%1”不是命令；您是指“%2”吗？（vexorin-cli --help 列出所有命令）</translation>
    </message>
    <message>
        <source>Add the values of a CSV or JSON file to the confirmed library</source>
        <translation>把 CSV 或 JSON 文件中的值加入确认库</translation>
    </message>
    <message>
        <source>Bring back a generation kept before a clear or delete (default: the newest)</source>
        <translation>恢复清空或删除前保留的一个版本（默认：最新的）</translation>
    </message>
    <message>
        <source>CSV (header signature,type) or JSON array</source>
        <translation>CSV（表头 signature,type）或 JSON 数组</translation>
    </message>
    <message>
        <source>Delete every entry of the confirmed library</source>
        <translation>删除确认库中的所有条目</translation>
    </message>
    <message>
        <source>Delete the entries with these signature values</source>
        <translation>删除具有这些特征值的条目</translation>
    </message>
    <message>
        <source>Delete these entries from the %1</source>
        <translation>从%1中删除这些条目</translation>
    </message>
    <message>
        <source>Directory of data.mdb, set.ini and setok.ini</source>
        <translation>data.mdb、set.ini 和 setok.ini 所在的目录</translation>
    </message>
    <message>
        <source>Empty the %1</source>
        <translation>清空%1</translation>
    </message>
    <message>
        <source>File to write (replaced whole); standard output without</source>
        <translation>要写入的文件（整体替换）；省略时写到标准输出</translation>
    </message>
    <message>
        <source>File type</source>
        <translation>文件类型</translation>
    </message>
    <message>
        <source>Files of known types</source>
        <translation>已知类型的文件</translation>
    </message>
    <message>
        <source>Files to identify</source>
        <translation>要识别的文件</translation>
    </message>
    <message>
        <source>Files to read</source>
        <translation>要读取的文件</translation>
    </message>
    <message>
        <source>How rows are printed: tsv (default), csv, json or jsonl</source>
        <translation>行的输出格式：tsv（默认）、csv、json 或 jsonl</translation>
    </message>
    <message>
        <source>Identify files, as if dropped on the identification list ('-': paths from standard input)</source>
        <translation>识别文件，如同拖放到识别列表上（“-”：从标准输入读取路径）</translation>
    </message>
    <message>
        <source>Identify only: record nothing in the identification list</source>
        <translation>只识别：不在识别列表中记录任何内容</translation>
    </message>
    <message>
        <source>Import the good rows of a file that has bad ones (default: a bad row stops all)</source>
        <translation>导入含有错误行的文件中的正确行（默认：一个错误行即全部停止）</translation>
    </message>
    <message>
        <source>Import the starter set shipped with the program</source>
        <translation>导入随程序提供的入门特征值集</translation>
    </message>
    <message>
        <source>Leave a match of fewer hex digits than this alone, as unknown (4 to 20; 4: every match counts)</source>
        <translation>匹配的十六进制位数少于此值时不改名，视为未知（4 到 20；4：每个匹配都算）</translation>
    </message>
    <message>
        <source>Leave weak (under 8 digits) and ambiguous answers alone; name them on standard error</source>
        <translation>不处理弱匹配（少于 8 位）和有歧义的结果；在标准错误中列出它们</translation>
    </message>
    <message>
        <source>List the confirmed library</source>
        <translation>列出确认库</translation>
    </message>
    <message>
        <source>List the kept generations, newest first</source>
        <translation>列出保留的版本，最新的在前</translation>
    </message>
    <message>
        <source>List the records whose values share a beginning with records or samples of other types</source>
        <translation>列出其值与其他类型的记录或样本开头相同的记录</translation>
    </message>
    <message>
        <source>No progress bar and no summary line on standard error</source>
        <translation>标准错误中不显示进度条和总结行</translation>
    </message>
    <message>
        <source>Paths as the identification list shows them</source>
        <translation>识别列表中显示的路径</translation>
    </message>
    <message>
        <source>Paths as the list shows them</source>
        <translation>列表中显示的路径</translation>
    </message>
    <message>
        <source>Paths on standard input are separated by NUL bytes, as find -print0 writes them</source>
        <translation>标准输入中的路径以 NUL 字节分隔，如 find -print0 的输出</translation>
    </message>
    <message>
        <source>Print a header row before tab-separated rows</source>
        <translation>在制表符分隔的行之前输出表头行</translation>
    </message>
    <message>
        <source>Print how each answer was found: TYPE DIGITS RECORD ALTERNATIVES SIGNATURE PATH</source>
        <translation>输出每个结果是如何得出的：TYPE DIGITS RECORD ALTERNATIVES SIGNATURE PATH</translation>
    </message>
    <message>
        <source>Print the %1</source>
        <translation>输出%1</translation>
    </message>
    <message>
        <source>Print the signature value and file class of each file</source>
        <translation>输出每个文件的特征值和文件类别</translation>
    </message>
    <message>
        <source>Print the version and exit</source>
        <translation>输出版本号并退出</translation>
    </message>
    <message>
        <source>Print this help message and exit</source>
        <translation>输出此帮助信息并退出</translation>
    </message>
    <message>
        <source>Print what would be renamed (OLD NEW); change nothing</source>
        <translation>输出将被改名的文件（OLD NEW）；不做任何更改</translation>
    </message>
    <message>
        <source>Record a match of fewer hex digits than this as unknown (4 to 20; 4: every match counts)</source>
        <translation>匹配的十六进制位数少于此值时记为未知（4 到 20；4：每个匹配都算）</translation>
    </message>
    <message>
        <source>Record files in the experiment library, as if dropped on its list</source>
        <translation>把文件记录到实验库，如同拖放到它的列表上</translation>
    </message>
    <message>
        <source>Rename every file of the identification list</source>
        <translation>给识别列表中的每个文件改名</translation>
    </message>
    <message>
        <source>Rename these identified files to their probable type</source>
        <translation>把这些已识别的文件改名为其可能的类型</translation>
    </message>
    <message>
        <source>Short for --format json</source>
        <translation>--format json 的简写</translation>
    </message>
    <message>
        <source>Signature value</source>
        <translation>特征值</translation>
    </message>
    <message>
        <source>Signature values to delete</source>
        <translation>要删除的特征值</translation>
    </message>
    <message>
        <source>Store a signature value with its file type in the confirmed library</source>
        <translation>把特征值及其文件类型存入确认库</translation>
    </message>
    <message>
        <source>Take back the last rename run: each file still unchanged goes back to its old name</source>
        <translation>撤销上一次改名：每个未改变的文件恢复原名</translation>
    </message>
    <message>
        <source>The generation to bring back, as listed</source>
        <translation>要恢复的版本，按列出的名称</translation>
    </message>
    <message>
        <source>Walk folders: the regular files under them, links to folders not followed</source>
        <translation>遍历文件夹：其中的普通文件，不跟随指向文件夹的链接</translation>
    </message>
    <message>
        <source>Write the confirmed library as CSV (RFC 4180, header signature,type) or, with --format json, JSON</source>
        <translation>把确认库写成 CSV（RFC 4180，表头 signature,type），或加 --format json 时写成 JSON</translation>
    </message>
    <message>
        <source>A subcommand is required</source>
        <translation>需要一个子命令</translation>
    </message>
    <message>
        <source>%1 is required</source>
        <translation>缺少 %1</translation>
    </message>
    <message>
        <source>%1 excludes %2</source>
        <translation>%1 不能与 %2 同时使用</translation>
    </message>
    <message>
        <source>%1: Value %2 not in range %3 to %4</source>
        <translation>%1：值 %2 不在 %3 到 %4 的范围内</translation>
    </message>
    <message>
        <source>%1: %2 not in {%3}</source>
        <translation>%1：%2 不在 {%3} 之中</translation>
    </message>
    <message>
        <source>%1: %2 required %3 missing</source>
        <translation>%1：缺少 %2 个 %3 值</translation>
    </message>
    <message>
        <source>The following argument was not expected: %1</source>
        <translation>以下参数不应出现：%1</translation>
    </message>
    <message>
        <source>The following arguments were not expected: %1</source>
        <translation>以下参数不应出现：%1</translation>
    </message>
</context>
</TS>
